// A small shared library that tests load through the host as "probe.dll".
extern "C" __attribute__((visibility("default"))) int ProbeAnswer() { return 42; }
