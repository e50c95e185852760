# HALVORA_SANITIZE=address,undefined (or thread) instruments everything for test builds.
set (HALVORA_SANITIZE "" CACHE STRING "Sanitizers for test builds: address,undefined or thread")

if (HALVORA_SANITIZE)
    add_compile_options (-fsanitize=${HALVORA_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options (-fsanitize=${HALVORA_SANITIZE})
endif()

# HALVORA_FUZZ builds the libFuzzer targets (clang only), with AddressSanitizer and
# UndefinedBehaviorSanitizer on everything they run.
option (HALVORA_FUZZ "Build libFuzzer targets (needs clang)" OFF)

if (HALVORA_FUZZ)
    add_compile_options (-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    add_link_options (-fsanitize=address,undefined)
endif()
