#include "service/Api.h"

#include <charconv>
#include <nlohmann/json.hpp>

#include "protocol/Windows1250.h"
#include "service/Access.h"
#include "service/ResultLines.h"

namespace tallix {
namespace {

using Json = nlohmann::json;
using std::chrono::seconds;

constexpr int kRetryAfterSeconds = 5;

std::string Dump(const Json& json) {
    // Texts that are not valid UTF-8 (a key from the devices file) are written with
    // replacement characters instead of failing.
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

const char* Title(int status) {
    switch (status) {
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 409:
            return "Conflict";
        case 413:
            return "Content Too Large";
        case 415:
            return "Unsupported Media Type";
        case 422:
            return "Unprocessable Content";
        case 429:
            return "Too Many Requests";
        case 431:
            return "Request Header Fields Too Large";
        case 503:
            return "Service Unavailable";
        default:
            return "Error";
    }
}

HttpResponse JsonResponse(int status, const Json& body) {
    HttpResponse response;
    response.status = status;
    response.headers.emplace_back("Content-Type", "application/json");
    response.body = Dump(body) + "\n";
    return response;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = static_cast<char>(c | 0x20);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// A path segment with its %XX escapes decoded; nothing for a broken escape.
std::optional<std::string> DecodeSegment(std::string_view segment) {
    std::string text;
    for (std::size_t i = 0; i < segment.size(); ++i) {
        if (segment[i] != '%') {
            text += segment[i];
            continue;
        }
        if (i + 2 >= segment.size()) {
            return std::nullopt;
        }
        const int high = HexValue(segment[i + 1]);
        const int low = HexValue(segment[i + 2]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        text += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return text;
}

std::string EncodeSegment(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : text) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
        if (plain) {
            encoded += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0xF];
        }
    }
    return encoded;
}

bool IsUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        std::size_t length = 0;
        uint32_t code = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if ((lead & 0xE0) == 0xC0) {
            length = 2;
            code = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            code = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > bytes.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (next & 0x3F);
        }
        static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

struct Target {
    std::vector<std::string> segments;
    std::optional<std::string> wait;  // the wait parameter's text
    bool valid = true;
};

Target ParseTarget(std::string_view target) {
    Target parsed;
    const std::size_t question = target.find('?');
    std::string_view path = target.substr(0, question);
    if (question != std::string_view::npos) {
        std::string_view query = target.substr(question + 1);
        while (!query.empty()) {
            const std::size_t amp = query.find('&');
            const std::string_view pair = query.substr(0, amp);
            if (pair.rfind("wait=", 0) == 0) {
                parsed.wait = std::string(pair.substr(5));
            }
            query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        }
    }
    if (path.empty() || path.front() != '/') {
        parsed.valid = false;
        return parsed;
    }
    path.remove_prefix(1);
    while (true) {
        const std::size_t slash = path.find('/');
        const std::optional<std::string> segment = DecodeSegment(path.substr(0, slash));
        if (!segment) {
            parsed.valid = false;
            return parsed;
        }
        parsed.segments.push_back(*segment);
        if (slash == std::string_view::npos) {
            break;
        }
        path.remove_prefix(slash + 1);
    }
    return parsed;
}

// The wait parameter: nothing when absent, seconds 0..60; false in ok when malformed.
std::optional<seconds> WaitOf(const Target& target, bool& ok) {
    ok = true;
    if (!target.wait) {
        return std::nullopt;
    }
    const std::string& text = *target.wait;
    int value = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0 ||
        value > kLongestWait.count()) {
        ok = false;
        return std::nullopt;
    }
    return seconds(value);
}

std::string JobPath(const std::string& printer, const std::string& id) {
    return "/v1/printers/" + EncodeSegment(printer) + "/jobs/" + id;
}

HttpResponse MethodNotAllowed(const std::string& allow) {
    HttpResponse response = Problem(405, "this resource takes " + allow);
    response.headers.emplace_back("Allow", allow);
    return response;
}

}  // namespace

std::string HttpRequest::header(const std::string& lowerCaseName) const {
    const auto found = headers.find(lowerCaseName);
    return found == headers.end() ? std::string() : found->second;
}

HttpResponse Problem(int status, const std::string& detail) {
    HttpResponse response;
    response.status = status;
    response.headers.emplace_back("Content-Type", "application/problem+json");
    response.body = Dump(Json{{"type", "about:blank"},
                              {"title", Title(status)},
                              {"status", status},
                              {"detail", detail}}) +
                    "\n";
    return response;
}

Api::Api(AccessRules rules, JobStore& store, std::map<std::string, PrinterWorker*> printers,
         std::string version)
    : rules_(std::move(rules)),
      store_(store),
      printers_(std::move(printers)),
      version_(std::move(version)) {}

std::optional<HttpResponse> Api::Screen(const HttpRequest& request) const {
    if (request.has("origin")) {
        const std::string origin = request.header("origin");
        bool allowed = false;
        for (const std::string& known : rules_.allowOrigins) {
            allowed = allowed || known == origin;
        }
        if (!allowed) {
            return Problem(403, "requests from this origin are not allowed");
        }
    }
    if (!request.has("host")) {
        return Problem(400, "the request has no Host header");
    }
    if (!IsLoopbackHost(request.header("host"))) {
        return Problem(403, "the Host header must name this machine (localhost, 127.0.0.1, [::1])");
    }
    if (request.method == "OPTIONS") {
        HttpResponse response;
        response.status = 204;
        response.headers.emplace_back("Allow", "GET, POST, DELETE, OPTIONS");
        if (request.has("origin")) {
            response.headers.emplace_back("Access-Control-Allow-Methods", "GET, POST, DELETE");
            response.headers.emplace_back("Access-Control-Allow-Headers",
                                          "Authorization, Content-Type, Idempotency-Key");
            response.headers.emplace_back("Access-Control-Max-Age", "600");
            if (Lower(request.header("access-control-request-private-network")) == "true") {
                response.headers.emplace_back("Access-Control-Allow-Private-Network", "true");
            }
        }
        return response;
    }
    if (request.overTcp && !BearerAllowed(request.header("authorization"), rules_.tokens)) {
        HttpResponse response =
            Problem(401, "a valid token is needed: Authorization: Bearer TOKEN");
        response.headers.emplace_back("WWW-Authenticate", "Bearer");
        return response;
    }
    return std::nullopt;
}

void Api::Decorate(const HttpRequest& request, HttpResponse& response) const {
    if (!request.has("origin")) {
        return;
    }
    const std::string origin = request.header("origin");
    for (const std::string& known : rules_.allowOrigins) {
        if (known == origin) {
            response.headers.emplace_back("Access-Control-Allow-Origin", origin);
            response.headers.emplace_back("Access-Control-Expose-Headers",
                                          "Location, Idempotent-Replayed, Retry-After");
            response.headers.emplace_back("Vary", "Origin");
            return;
        }
    }
}

namespace {

ApiReply ReplyWith(HttpResponse response) {
    ApiReply reply;
    reply.response = std::move(response);
    return reply;
}

// The charset a command file comes in (windows-1250 when the Content-Type names none); a 415
// problem when the Content-Type is not a command file in a charset taken here.
std::optional<HttpResponse> BodyCharset(const HttpRequest& request, std::string& charset) {
    charset = "windows-1250";
    if (!request.has("content-type")) {
        return std::nullopt;
    }
    const std::string type = Lower(request.header("content-type"));
    const std::size_t semicolon = type.find(';');
    std::string media = type.substr(0, semicolon);
    while (!media.empty() && media.back() == ' ') {
        media.pop_back();
    }
    if (media != "text/plain") {
        return Problem(415, "the body is a command file: text/plain");
    }
    const std::size_t at = type.find("charset=");
    if (at != std::string::npos) {
        charset = type.substr(at + 8);
        charset = charset.substr(0, charset.find(';'));
        if (charset.size() >= 2 && charset.front() == '"' && charset.back() == '"') {
            charset = charset.substr(1, charset.size() - 2);
        }
    }
    if (charset == "cp1250") {
        charset = "windows-1250";
    }
    if (charset != "windows-1250" && charset != "utf-8") {
        return Problem(415, "the charset must be windows-1250 or utf-8");
    }
    return std::nullopt;
}

// The answer when the store did not take a job; nothing when it was created or replayed.
std::optional<HttpResponse> RefusedJob(Acceptance acceptance) {
    switch (acceptance) {
        case Acceptance::Created:
        case Acceptance::Replayed:
            return std::nullopt;
        case Acceptance::KeyReused:
            return Problem(422, "this Idempotency-Key was used for another command file");
        case Acceptance::QueueFull: {
            HttpResponse response =
                Problem(429, "the printer has 100 jobs waiting; try again later");
            response.headers.emplace_back("Retry-After", std::to_string(kRetryAfterSeconds));
            return response;
        }
        case Acceptance::Failed:
            return Problem(503, "the job could not be stored");
    }
    return Problem(503, "the job could not be stored");
}

}  // namespace

ApiReply Api::Handle(const HttpRequest& request) {
    const Target target = ParseTarget(request.target);
    const std::vector<std::string>& path = target.segments;
    if (!target.valid) {
        return ReplyWith(Problem(400, "the request target is malformed"));
    }
    bool waitOk = true;
    const std::optional<seconds> wait = WaitOf(target, waitOk);
    if (!waitOk) {
        return ReplyWith(Problem(400, "wait takes whole seconds from 0 to 60"));
    }
    const std::string& method = request.method;
    if (path.size() < 2 || path[0] != "v1") {
        return ReplyWith(Problem(404, "no such resource"));
    }
    if (path.size() == 2 && path[1] == "health") {
        return ReplyWith(method == "GET"
                             ? JsonResponse(200, {{"status", "ok"}, {"version", version_}})
                             : MethodNotAllowed("GET"));
    }
    if (path[1] != "printers") {
        return ReplyWith(Problem(404, "no such resource"));
    }
    if (path.size() == 2) {
        return ReplyWith(method == "GET" ? Printers() : MethodNotAllowed("GET"));
    }
    return HandlePrinter(path, request, wait);
}

ApiReply Api::HandlePrinter(const std::vector<std::string>& path, const HttpRequest& request,
                            std::optional<seconds> wait) {
    const std::string& method = request.method;
    const std::string& key = path[2];
    if (printers_.count(key) == 0) {
        return ReplyWith(Problem(404, "no printer has this key in the devices file"));
    }
    if (path.size() == 3) {
        return ReplyWith(method == "GET" ? PrinterView(key) : MethodNotAllowed("GET"));
    }
    if (path[3] != "jobs") {
        return ReplyWith(Problem(404, "no such resource"));
    }
    if (path.size() == 4) {
        if (method != "POST") {
            return ReplyWith(MethodNotAllowed("POST"));
        }
        return PostJob(key, request, wait);
    }
    return HandleJob(path, method, wait);
}

ApiReply Api::HandleJob(const std::vector<std::string>& path, const std::string& method,
                        std::optional<seconds> wait) {
    const std::string& key = path[2];
    const std::string& id = path[4];
    const std::optional<JobRecord> job = store_.Find(id);
    if (!job || job->printer != key) {
        return ReplyWith(Problem(404, "this printer has no such job"));
    }
    if (path.size() == 5) {
        if (method == "GET") {
            return JobView(id, wait, false, {});
        }
        if (method == "DELETE") {
            return ReplyWith(RemoveJob(key, id));
        }
        return ReplyWith(MethodNotAllowed("GET, DELETE"));
    }
    if (path.size() == 6 && path[5] == "result") {
        return ReplyWith(method == "GET" ? ResultView(id) : MethodNotAllowed("GET"));
    }
    if (path.size() == 6 && path[5] == "retry") {
        if (method != "POST") {
            return ReplyWith(MethodNotAllowed("POST"));
        }
        return RetryJob(key, id, wait);
    }
    return ReplyWith(Problem(404, "no such resource"));
}

HttpResponse Api::RemoveJob(const std::string& printer, const std::string& id) {
    if (!store_.RemoveQueued(id)) {
        // A done job that holds the queue is kept, with its result; the queue goes on.
        switch (store_.Release(id)) {
            case JobStore::ReleaseResult::Released:
                printers_.at(printer)->Wake();
                break;
            case JobStore::ReleaseResult::Failed:
                return Problem(503, "the release of the printer could not be stored");
            case JobStore::ReleaseResult::NotHolding:
                return Problem(409, "only a job that is still queued can be removed");
        }
    }
    HttpResponse response;
    response.status = 204;
    return response;
}

HttpResponse Api::ResultView(const std::string& id) const {
    HttpResponse response;
    response.status = 200;
    response.headers.emplace_back("Content-Type", "text/plain; charset=utf-8");
    response.body = store_.ReadResult(id);
    return response;
}

ApiReply Api::RetryJob(const std::string& printer, const std::string& id,
                       std::optional<seconds> wait) {
    const JobStore::RequeueResult requeued = store_.Requeue(id);
    if (requeued == JobStore::RequeueResult::NotRetryable) {
        return ReplyWith(
            Problem(409, "only a job that ended on a line the printer refused can be retried"));
    }
    if (requeued == JobStore::RequeueResult::AnotherRanSince) {
        return ReplyWith(Problem(409,
                                 "another job has run on this printer since: a retry would "
                                 "print the lines this job already printed again"));
    }
    printers_.at(printer)->Wake();
    return JobView(id, wait, true, {});
}

ApiReply Api::PostJob(const std::string& printer, const HttpRequest& request,
                      std::optional<seconds> wait) {
    const std::string key = request.header("idempotency-key");
    if (!request.has("idempotency-key") || !IsIdempotencyKey(key)) {
        return ReplyWith(Problem(
            400, "Idempotency-Key is required: 1 to 128 letters, digits, '.', '_', ':' or '-'"));
    }
    std::string charset;
    if (std::optional<HttpResponse> refused = BodyCharset(request, charset)) {
        return ReplyWith(std::move(*refused));
    }
    if (request.body.empty()) {
        return ReplyWith(Problem(400, "the command file is empty"));
    }
    std::string bytes = request.body;
    if (charset == "utf-8") {
        if (!IsUtf8(bytes)) {
            return ReplyWith(Problem(400, "the body is not valid UTF-8"));
        }
        bytes = EncodeWindows1250Lossy(bytes);
    }
    JobRecord job;
    const Acceptance acceptance =
        store_.Accept(printer, key, JobStore::BodyHash(request.body, charset), bytes, job);
    if (std::optional<HttpResponse> refused = RefusedJob(acceptance)) {
        return ReplyWith(std::move(*refused));
    }
    if (acceptance == Acceptance::Created) {
        printers_.at(printer)->Wake();
    }
    std::vector<std::pair<std::string, std::string>> headers = {
        {"Location", JobPath(printer, job.id)}};
    if (acceptance == Acceptance::Replayed) {
        headers.emplace_back("Idempotent-Replayed", "true");
    }
    return JobView(job.id, wait, true, headers);
}

ApiReply Api::JobView(const std::string& id, std::optional<seconds> wait, bool accepted,
                      const std::vector<std::pair<std::string, std::string>>& headers) {
    ApiReply reply;
    reply.complete = [this, id, accepted, headers] {
        const std::optional<JobRecord> job = store_.Find(id);
        if (!job) {
            return Problem(404, "this printer has no such job");
        }
        HttpResponse response = JobResponse(*job, accepted);
        response.headers.insert(response.headers.end(), headers.begin(), headers.end());
        return response;
    };
    reply.ended = [this, id] {
        const std::optional<JobRecord> job = store_.Find(id);
        return !job || job->state == ServiceJobState::Done;
    };
    if (wait && wait->count() > 0 && !reply.ended()) {
        reply.waitJob = id;
        reply.wait = *wait;
        return reply;
    }
    reply.response = reply.complete();
    return reply;
}

HttpResponse Api::JobResponse(const JobRecord& job, bool accepted) const {
    Json lines = Json::array();
    for (const ResultEntry& entry : ParseResultLines(store_.ReadResult(job.id))) {
        Json line = {{"command", entry.command},
                     {"messageNumber", entry.messageNumber},
                     {"message", entry.message}};
        line["extra"] = entry.extra ? Json(*entry.extra) : Json(nullptr);
        lines.push_back(line);
    }
    Json body = {{"id", job.id},
                 {"printer", job.printer},
                 {"idempotencyKey", job.idempotencyKey},
                 {"state", JobStateName(job.state)},
                 {"attempts", job.attempts},
                 {"lines", lines},
                 {"result", JobPath(job.printer, job.id) + "/result"}};
    body["exitCode"] = job.exitCode ? Json(*job.exitCode) : Json(nullptr);
    body["endedOnFailure"] = job.endedOnFailure;
    body["holdsQueue"] = job.holdsQueue;
    // An accepting answer says 202 until the job has ended; a look at a job is plain 200.
    return JsonResponse(accepted && job.state != ServiceJobState::Done ? 202 : 200, body);
}

HttpResponse Api::Printers() const {
    Json list = Json::array();
    for (const auto& [key, worker] : printers_) {
        const PrinterStatus status = worker->status();
        list.push_back({{"key", key},
                        {"serialNumber", status.serialNumber},
                        {"state", PrinterStateName(status.state)},
                        {"jobsQueued", store_.Pending(key)}});
    }
    return JsonResponse(200, {{"printers", list}});
}

HttpResponse Api::PrinterView(const std::string& key) const {
    const PrinterWorker& worker = *printers_.at(key);
    const PrinterStatus status = worker.status();
    Json body = {{"key", key},
                 {"serialNumber", status.serialNumber},
                 {"path", worker.entry().path},
                 {"state", PrinterStateName(status.state)},
                 {"jobsQueued", store_.Pending(key)}};
    body["lastError"] = status.lastError.empty()
                            ? Json(nullptr)
                            : Json{{"reason", status.lastError}, {"at", status.lastErrorAt}};
    return JsonResponse(200, body);
}

}  // namespace tallix
