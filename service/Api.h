#pragma once

// The service's HTTP API, version 1, on plain request and response values: the HTTP server
// (service/HttpServer.h) reads and writes the bytes, this decides what each request gets.
//
//   GET    /v1/health
//   GET    /v1/printers
//   GET    /v1/printers/{key}
//   POST   /v1/printers/{key}/jobs            Idempotency-Key, body: the command file
//   GET    /v1/printers/{key}/jobs/{id}       ?wait=SECONDS (up to 60)
//   GET    /v1/printers/{key}/jobs/{id}/result
//   POST   /v1/printers/{key}/jobs/{id}/retry
//   DELETE /v1/printers/{key}/jobs/{id}       a queued job: removed; a done one that holds
//                                              the queue: kept, and the queue goes on
//
// Errors are application/problem+json. Nothing a client sends is put into an answer except
// through the JSON writer, which escapes it.

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "service/JobStore.h"
#include "service/PrinterWorker.h"

namespace tallix {

struct HttpRequest {
    std::string method;
    std::string target;                          // path and query as sent
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;
    bool overTcp = false;  // came on a TCP listener (else a Unix socket)

    // The header's value, "" when it is missing.
    std::string header(const std::string& lowerCaseName) const;
    bool has(const std::string& lowerCaseName) const { return headers.count(lowerCaseName) != 0; }
};

struct HttpResponse {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
};

// A problem (RFC 9457) as a response: type "about:blank", the status's title, detail.
HttpResponse Problem(int status, const std::string& detail);

// Limits of a request that the server enforces.
constexpr std::size_t kBodyLimit = std::size_t{1024} * 1024;
constexpr std::size_t kHeaderLimit = 8 * 1024;
constexpr std::chrono::seconds kHeaderTimeout{5};
constexpr std::chrono::seconds kLongestWait{60};

struct AccessRules {
    std::vector<std::string> tokens;        // for requests over TCP
    std::vector<std::string> allowOrigins;  // exact origins whose pages may call
};

// What the API answers: a response now, or after waiting for a job to end (up to wait).
struct ApiReply {
    HttpResponse response;
    std::string waitJob;  // "" when the response is final
    std::chrono::seconds wait{0};
    // Builds the final response once the job ended or the wait is over.
    std::function<HttpResponse()> complete;
    // Whether the job waited for has ended (or is gone).
    std::function<bool()> ended;
};

class Api {
  public:
    Api(AccessRules rules, JobStore& store, std::map<std::string, PrinterWorker*> printers,
        std::string version);

    // The checks made once the headers are in, before any body is read: a foreign Origin
    // (403, before anything else), a foreign Host (403), a preflight OPTIONS (answered here),
    // a missing or wrong token on TCP (401), a body over the limit (413). Nothing when the
    // request goes on.
    std::optional<HttpResponse> Screen(const HttpRequest& request) const;

    // The workers, once they run (they are made after the server they report to).
    void SetPrinters(std::map<std::string, PrinterWorker*> printers) {
        printers_ = std::move(printers);
    }

    // The request with its body.
    ApiReply Handle(const HttpRequest& request);

    // Headers that every answer to request carries (CORS for an allowed Origin).
    void Decorate(const HttpRequest& request, HttpResponse& response) const;

  private:
    // The routes under /v1/printers/KEY (path[2] is the key) and under its jobs/ID (path[4]).
    ApiReply HandlePrinter(const std::vector<std::string>& path, const HttpRequest& request,
                           std::optional<std::chrono::seconds> wait);
    ApiReply HandleJob(const std::vector<std::string>& path, const std::string& method,
                       std::optional<std::chrono::seconds> wait);
    HttpResponse RemoveJob(const std::string& printer, const std::string& id);
    HttpResponse ResultView(const std::string& id) const;
    ApiReply RetryJob(const std::string& printer, const std::string& id,
                      std::optional<std::chrono::seconds> wait);
    ApiReply PostJob(const std::string& printer, const HttpRequest& request,
                     std::optional<std::chrono::seconds> wait);
    // accepted: the answer to a POST (202 until the job ended); headers go with it.
    ApiReply JobView(const std::string& id, std::optional<std::chrono::seconds> wait, bool accepted,
                     const std::vector<std::pair<std::string, std::string>>& headers);
    HttpResponse Printers() const;
    HttpResponse PrinterView(const std::string& key) const;
    HttpResponse JobResponse(const JobRecord& job, bool accepted) const;

    AccessRules rules_;
    JobStore& store_;
    std::map<std::string, PrinterWorker*> printers_;
    std::string version_;
};

}  // namespace tallix
