# SPDX-License-Identifier: GPL-2.0-or-later
# Hardening: the fault injector that the real program loads with LD_PRELOAD,
# the save's fault table and failed fork, and the save killed part-way.
add_library(fault_inject SHARED fault/fault_inject.c)
set_target_properties(fault_inject PROPERTIES PREFIX "")
target_link_libraries(fault_inject PRIVATE ${CMAKE_DL_LIBS})

# A sanitized program wants its runtime loaded first, before the injector.
set(fault_preload "$<TARGET_FILE:fault_inject>")
if(QUORVANE_SANITIZE)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so
                    OUTPUT_VARIABLE asan_runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(IS_ABSOLUTE "${asan_runtime}" AND EXISTS "${asan_runtime}")
        set(fault_preload "${asan_runtime}:${fault_preload}")
    endif()
endif()

# One program for both.
quorvane_test(fault_e2e_test e2e fault/save_fault_e2e_test.cpp
              fault/killed_save_e2e_test.cpp)
target_compile_definitions(fault_e2e_test PRIVATE FAULT_PRELOAD="${fault_preload}")
add_dependencies(fault_e2e_test fault_inject)

# Numbers in the configuration file that do not fit an int.
quorvane_test(config_number_test unit wmlist/config_number_test.cpp)
