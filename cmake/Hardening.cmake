# The hardening Debian gives its own packages, on the binaries we ship: checked buffer
# functions, stack protection, and a relocation table that is read-only once every symbol is
# bound at load. The sanitizer and fuzzing builds keep their own instrumentation instead.
# None of it touches the arithmetic: the renders stay the same to the bit.
if (NOT HALVORA_SANITIZE AND NOT HALVORA_FUZZ)
    add_compile_options (-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2 -fstack-protector-strong)
    if (HALVORA_LINKER_RELRO_NOW)
        add_link_options (-Wl,-z,relro,-z,now)
    endif()
endif()
