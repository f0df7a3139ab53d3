// The stubs are static programs, and a static program cannot safely load a shared library: the
// library brings the C library of the machine it runs on, which need not be the one linked in,
// and two C libraries in one process corrupt each other. The toolkit and Xlib load a few
// optional extras that way (cursor themes, screen extensions); every such load fails here
// instead, and they go without them. The link replaces dlopen with this (--wrap=dlopen).

extern "C" void* __wrap_dlopen(const char*, int) { return nullptr; }
