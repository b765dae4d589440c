// Stand-in for the host module ZKHost.dll: only its location matters.
extern "C" __declspec(dllexport) int ZKHostMarker() { return 1; }
