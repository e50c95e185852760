# HALVORA_SANITIZE=address,undefined (or thread) instruments everything for test builds.
set (HALVORA_SANITIZE "" CACHE STRING "Sanitizers for test builds: address,undefined or thread")

if (HALVORA_SANITIZE)
    add_compile_options (-fsanitize=${HALVORA_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options (-fsanitize=${HALVORA_SANITIZE})
endif()
