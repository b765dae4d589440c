// Stand-in for the host module: only its location matters.
extern "C" __attribute__((visibility("default"))) int ZKHostMarker() { return 1; }
