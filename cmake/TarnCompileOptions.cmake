# Warnings, sanitizers and the Windows target settings shared by every target.
add_compile_options(-Wall -Wextra -Werror)

if(WIN32)
    add_compile_definitions(UNICODE _UNICODE _WIN32_WINNT=0x0601 WINVER=0x0601)
    # No runtime DLLs: the component loads into processes of machines that have none.
    add_link_options(-static -static-libgcc -static-libstdc++)
endif()

if(TARN_SANITIZE)
    string(REPLACE ";" "," _tarn_sanitizers "${TARN_SANITIZE}")
    add_compile_options(-fsanitize=${_tarn_sanitizers} -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=${_tarn_sanitizers})
endif()
