#pragma once
// The service client pointed at a loopback recording server.

#include <optional>
#include <string>
#include <utility>

#include "service/ServiceClient.h"
#include "tests/support/RecordingServer.h"

namespace smsc::test {

// Every line at the server (the telecom line in use), with the multipart boundary fixed when
// one is given.
inline ServiceContext ContextFor(const RecordingServer& server,
                                 std::optional<std::string> boundary = std::nullopt) {
    ServiceContext ctx;
    ctx.endpoints.telecomUrl = server.baseUrl();
    ctx.endpoints.netcomUrl = server.baseUrl();
    ctx.endpoints.downloadUrl = server.baseUrl() + "mms/";
    ctx.lineIndex = 0;
    ctx.boundaryOverride = std::move(boundary);
    return ctx;
}

}  // namespace smsc::test
