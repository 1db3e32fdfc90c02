// The removal's steps by name, for a tool that watches a removal on the
// simulated machine (the removal preview groups what each step changed).
// The program itself sets no observer: announcing a step then does nothing.
#pragma once

// Called with the step's name right before the step runs.
using RemovalStepObserver = void (*)(const char* step);

// Sets the process-wide observer; null takes it away.
void SetRemovalStepObserver(RemovalStepObserver observer);

// Tells the observer, if any, that the named step starts now.
void AnnounceRemovalStep(const char* step);
