#pragma once

// ZELVORA_SANITIZED is defined in a build with AddressSanitizer or ThreadSanitizer. Their runtimes
// reserve address space and open file handles of their own (to probe memory, among others), so tests
// that starve the process of either would see the sanitizer fail, not the code under test.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZELVORA_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ZELVORA_SANITIZED 1
#endif
#endif
