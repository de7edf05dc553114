# With TESSALY_SANITIZE every target, ours and the tests, is built with
# AddressSanitizer and UndefinedBehaviorSanitizer; UB findings abort.
if(TESSALY_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
