// sanitizer_options.cpp: runtime options built into every program of a sanitizer build, so the
// suite, a bare `ctest` in that build and a sanitized game all run the same way.
//
// intercept_tls_get_addr=0. The runtime of GCC 12 (and of LLVM before 17) records each thread's
// dynamic TLS blocks by intercepting __tls_get_addr. A block that starts 16 bytes into a page
// is taken for one with glibc 2.19's allocator header, and its bounds are read from the two
// words before it. Since glibc 2.25 the blocks are plain malloc chunks, so about one in 256
// lands there by chance (heap layout moves with load, thread timing and the build's path), and
// the bounds it records are the allocator's chunk header: LeakSanitizer's exit scan then reads
// an address such as 0x1130 and dies ("Tracer caught signal 11"). Mesa's llvmpipe touches
// libLLVM's thread_local variables on our thread whenever it compiles a shader at draw time, so
// every GL test makes such a block. Without the interception leak checking stays whole: glibc's
// DTV, which each thread's static TLS points to, points to the blocks, so what they hold is
// still reachable and a pointer lost from them is still a leak.
extern "C" __attribute__((visibility("default"), used)) const char* __asan_default_options() {
  return "intercept_tls_get_addr=0";
}
