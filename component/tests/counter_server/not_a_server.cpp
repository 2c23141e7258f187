// A shared library that loads but exports none of the server entry points.
extern "C" __attribute__((visibility("default"))) int notAServer() {
    return 1;
}
