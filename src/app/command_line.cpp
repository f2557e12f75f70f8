#include "app/command_line.h"

void parse_command_line(int, char **, AppState *) {}
void print_usage() {}
void print_version() {}
