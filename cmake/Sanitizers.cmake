# With TESSALY_SANITIZE every target, ours and the tests, is built with
# AddressSanitizer and UndefinedBehaviorSanitizer; UB findings abort.
if(TESSALY_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# Fuzz builds instrument all our code for coverage and sanitizer checks:
# every library a fuzz target links (platform, resources, shell and the
# plug-in folders) as well as the sources it compiles itself. The fuzz
# targets add libFuzzer's main themselves. Without a build type the code is
# optimised a little (-O1, as in libFuzzer's own examples), keeping
# assertions and debug information: unoptimised, the image and workspace
# targets ran half as many inputs a second.
if(TESSALY_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
  if(NOT CMAKE_BUILD_TYPE)
    add_compile_options(-O1 -g)
  endif()
endif()
