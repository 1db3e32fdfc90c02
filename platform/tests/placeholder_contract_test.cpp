// PLACEHOLDER: contract tests being written.
#include <gtest/gtest.h>
