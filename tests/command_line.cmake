# SPDX-License-Identifier: GPL-2.0-or-later
quorvane_test(command_line_test unit app/command_line_test.cpp)
quorvane_test(command_line_e2e_test e2e e2e/command_line_e2e_test.cpp)
