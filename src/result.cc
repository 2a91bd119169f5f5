#include "result.h"

#include "platform.h"

void result_init() {
    output_init();
}

void write_first_pair(std::string_view name, std::string_view text) {
    const std::string_view parts[] = {name, "=", text};
    write_piece(parts);
}

void write_extra_pair(std::string_view name, std::string_view value) {
    const std::string_view parts[] = {"&", name, "=", value};
    write_piece(parts);
}

void write_trailer() {
    const std::string_view parts[] = {TRAILER_PAIR};
    write_piece(parts);
}

void write_error_line() {
    const std::string_view parts[] = {ERROR_LINE};
    write_piece(parts);
}
