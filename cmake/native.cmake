# Host build of the Windows-free cores with AddressSanitizer and UndefinedBehaviorSanitizer.
set(VELTRANA_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
target_compile_options(veltrana_cores PRIVATE ${VELTRANA_SANITIZERS})
target_link_options(veltrana_cores INTERFACE ${VELTRANA_SANITIZERS})

if(VELTRANA_TESTS)
    enable_testing()
    add_subdirectory(tests)
endif()
