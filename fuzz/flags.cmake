# Everything in a fuzz build carries the coverage hooks and both sanitizers;
# only the fuzz targets link libFuzzer's main. A sanitizer report must end the
# run, or the fuzzer would never see it as a crash.
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                    -fno-omit-frame-pointer -g)
add_link_options(-fsanitize=address,undefined)
