# Windows build (MinGW-w64): the real executable and the platform contract
# tests, both statically linked; the tests run under Wine.
enable_language(RC)
