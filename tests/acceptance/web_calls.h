// The web exports called as the expert programs call them, the requests they must send, and the
// caller buffer whose bytes a test checks.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "loaded_library.h"
#include "win32_api.h"

#ifndef KELPA_TEST_GRID_SETTINGS_HOST
#error "the test build passes KELPA_TEST_GRID_SETTINGS_HOST and KELPA_TEST_MEMBER_AREA_HOST"
#endif

namespace kelpa::test {

using WebRequestExport = int(WINAPI*)(char* body_buffer, const char* address, const char* data, int method);
using GrabWebExport = int(WINAPI*)(char* body_buffer, const char* data, int method);
using Courier1Export = int(WINAPI*)(char* body_buffer, const char* product_folder, const char* document);

// The hosts the deliverables were built with. The tests answer on 127.0.0.1, so the test builds
// set both to it.
inline const std::string kLoopbackHost = "127.0.0.1";
// A run against DLLs of another build (the shipping ones in dist/) names their hosts in the
// environment variables of the same names.
inline std::string HostSetting(const char* variable, const char* built_with) {
    const char* from_environment = std::getenv(variable);
    return from_environment != nullptr ? from_environment : built_with;
}
inline const std::string kGridSettingsHost =
    HostSetting("KELPA_TEST_GRID_SETTINGS_HOST", KELPA_TEST_GRID_SETTINGS_HOST);
inline const std::string kMemberAreaHost =
    HostSetting("KELPA_TEST_MEMBER_AREA_HOST", KELPA_TEST_MEMBER_AREA_HOST);

// Why a download test cannot run when `host`, one of the two download hosts, is not 127.0.0.1 (a
// build made for release); empty when it can. The test builds (tools/test.sh, the native presets)
// set both hosts to 127.0.0.1.
inline std::string WhyNotLoopback(const std::string& host, const std::string& setting) {
    if (host == kLoopbackHost) {
        return {};
    }
    return "built with " + setting + "=" + host + "; these tests answer on 127.0.0.1 (configure with -D" +
           setting + "=127.0.0.1)";
}

inline const std::string kUserAgentLine =
    "User-Agent: Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 5.1; .NET CLR 2.0.50727)\r\n";

// The GET and the POST as the server receives them.
inline std::string ExpectedGet(const std::string& host, const std::string& path, const std::string& data) {
    return "GET " + path + "?" + data + " HTTP/1.0\r\nAccept: *.*\r\n" + kUserAgentLine +
           "Content-Length: 0\r\nAccept-Language: en-us\r\nAccept-Encoding: gzip, deflate\r\nHost: " + host +
           "\r\n\r\n\r\n";
}

inline std::string ExpectedPost(const std::string& host, const std::string& path, const std::string& data) {
    return "POST " + path + " HTTP/1.0\r\nAccept: *.*\r\n" + kUserAgentLine +
           "Content-Length: " + std::to_string(data.size()) +
           "\r\nAccept-Language: en-us\r\nAccept-Encoding: gzip, deflate\r\nHost: " + host +
           "\r\nContent-Type: application/x-www-form-urlencoded\r\n\r\n" + data + "\r\n";
}

// A caller buffer of the 65,536 bytes the exports require, filled with a pattern so that a test
// sees every byte an export wrote, and followed by a guard region that no export may touch.
class CallerBuffer {
public:
    static constexpr std::size_t kBytes = 65536;
    static constexpr std::size_t kGuardBytes = 4096;
    static constexpr char kPattern = '\x5A';

    CallerBuffer() : bytes_(kBytes + kGuardBytes, kPattern) {}
    char* Data() { return bytes_.data(); }

    bool IsUntouched() const {
        for (char byte : bytes_) {
            if (byte != kPattern) {
                return false;
            }
        }
        return true;
    }

    // Whether nothing past the 65,536 bytes was written.
    bool GuardIntact() const {
        for (std::size_t at = kBytes; at < bytes_.size(); ++at) {
            if (bytes_[at] != kPattern) {
                return false;
            }
        }
        return true;
    }

    // The text written, up to its NUL; empty when there is no NUL.
    std::string Text() const {
        for (std::size_t at = 0; at < bytes_.size(); ++at) {
            if (bytes_[at] == '\0') {
                return std::string(bytes_.data(), at);
            }
        }
        return {};
    }

    // Whether nothing past the text and its NUL was written.
    bool RestUntouched(std::size_t text_length) const {
        for (std::size_t at = text_length + 1; at < bytes_.size(); ++at) {
            if (bytes_[at] != kPattern) {
                return false;
            }
        }
        return true;
    }

private:
    std::vector<char> bytes_;
};

// A simple successful answer carrying `body`.
inline std::string OkResponse(const std::string& body) {
    return "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nServer: test-peer\r\n\r\n" + body;
}

// KELPA_BASE loaded, with its PeltoWebRequest resolved.
class WebRequestOfBase : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(library_.IsLoaded());
        web_request_ = library_.Export<WebRequestExport>("PeltoWebRequest");
        ASSERT_NE(web_request_, nullptr);
    }

    LoadedLibrary library_{"KELPA_BASE"};
    WebRequestExport web_request_ = nullptr;
};

}  // namespace kelpa::test
