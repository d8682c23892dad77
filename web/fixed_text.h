// Text joined into a fixed character area, never past its end.
#pragma once

#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <span>
#include <string_view>

namespace kelpa::web {

// Joins `parts` into `area` and NUL-terminates them there. Nothing is written, and nothing comes
// back, when the joined text and its NUL do not fit: a cut text would be a different request.
inline std::optional<std::string_view> JoinInto(std::span<char> area,
                                                std::initializer_list<std::string_view> parts) noexcept {
    std::size_t length = 0;
    for (std::string_view part : parts) {
        if (part.size() >= area.size() - length) {
            return std::nullopt;
        }
        length += part.size();
    }
    if (area.empty()) {
        return std::nullopt;
    }
    char* at = area.data();
    for (std::string_view part : parts) {
        if (!part.empty()) {
            std::memcpy(at, part.data(), part.size());
            at += part.size();
        }
    }
    *at = '\0';
    return std::string_view(area.data(), length);
}

}  // namespace kelpa::web
