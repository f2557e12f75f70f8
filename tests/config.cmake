# SPDX-License-Identifier: GPL-2.0-or-later
# The configuration file: its text format, the safe replacement of the file,
# loading into and saving from the list, and the real program's file faults.
quorvane_test(config_format_test unit wmlist/config_format_test.cpp)
quorvane_test(file_replace_test unit wmlist/file_replace_test.cpp)
# The write fault injector stands in for these calls in this test alone.
target_link_options(file_replace_test PRIVATE
    -Wl,--wrap=write -Wl,--wrap=fsync -Wl,--wrap=rename -Wl,--wrap=close
    -Wl,--wrap=ftruncate -Wl,--wrap=umask -Wl,--wrap=open)
quorvane_test(config_path_test unit app/config_path_test.cpp)
quorvane_test(config_file_test widget wmlist/config_file_test.cpp)
quorvane_test(config_fuzz_replay_test unit fuzz/config_fuzz.cpp fuzz/config_corpus_replay.cpp)
target_compile_definitions(config_fuzz_replay_test PRIVATE
    CONFIG_CORPUS="${CMAKE_CURRENT_SOURCE_DIR}/fuzz/config_corpus")
quorvane_test(config_e2e_test e2e e2e/config_e2e_test.cpp)
quorvane_test(save_as_user_e2e_test e2e e2e/save_as_user_e2e_test.cpp)
