# SPDX-License-Identifier: GPL-2.0-or-later
# Launching, the child reaper, the countdown and the message boxes.

# Stands in for a window manager where the fake-wm script cannot: a shell
# clears the signal mask it inherits before running the script.
add_executable(signal_probe launch/signal_probe.cpp)

quorvane_test(exec_plan_test unit launch/exec_plan_test.cpp)
quorvane_test(launcher_test widget launch/launcher_test.cpp)
quorvane_test(countdown_test widget mainwin/countdown_test.cpp)
quorvane_test(message_box_test widget dialogs/message_box_test.cpp)
quorvane_test(launch_e2e_test e2e e2e/launch_e2e_test.cpp)

foreach(launch_target launcher_test launch_e2e_test)
    target_compile_definitions(${launch_target} PRIVATE SIGNAL_PROBE="$<TARGET_FILE:signal_probe>")
    add_dependencies(${launch_target} signal_probe)
endforeach()
