# Compiler settings shared by the product code and the tests.
set(KELPA_SANITIZE "" CACHE STRING "Sanitizers for the native build, as -fsanitize takes them")

# Warnings are errors in every build: the code compiles warning-free with -Wall -Wextra.
add_compile_options(-Wall -Wextra -Werror)

if(KELPA_SANITIZE)
    add_compile_options(-fsanitize=${KELPA_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${KELPA_SANITIZE})
endif()

# Settings of the product code alone (deliverables and the product sources that unit tests compile).
function(kelpa_product_options target)
    # Failures travel as return codes; nothing in the product throws, so no exception can cross
    # an export.
    target_compile_options(${target} PRIVATE -fno-exceptions)
    # Each product and each sum of the rules is rounded to double on its own: never fused into one
    # multiply-add, whatever instruction set a later build targets.
    target_compile_options(${target} PRIVATE -ffp-contract=off)
    if(WIN32)
        # The rules compare doubles exactly as IEEE 754 double operations give them: SSE2, so no
        # intermediate is carried at x87 extended precision or exponent range.
        target_compile_options(${target} PRIVATE -msse2 -mfpmath=sse)
    endif()
endfunction()
