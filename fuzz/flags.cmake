add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined)
