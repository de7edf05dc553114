# With TESSALY_SANITIZE every target, ours and the tests, is built with
# AddressSanitizer and UndefinedBehaviorSanitizer; UB findings abort.
if(TESSALY_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# Fuzz builds instrument all our code for coverage; the fuzz targets add
# libFuzzer's main themselves.
if(TESSALY_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
