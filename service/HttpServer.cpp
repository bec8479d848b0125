#include "service/HttpServer.h"

#include <sys/stat.h>
#include <sys/un.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <limits>
#include <map>

namespace tallix {
namespace {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using Tcp = net::ip::tcp;
using Local = net::local::stream_protocol;
using ErrorCode = boost::system::error_code;

constexpr std::chrono::seconds kBodyTimeout{30};
constexpr std::chrono::seconds kWriteTimeout{30};
constexpr std::chrono::seconds kDrainTimeout{2};
constexpr std::size_t kDrainLimit = std::size_t{4} * 1024 * 1024;
constexpr mode_t kSocketMode = 0660;

// What a session waiting for a job is told when the job changed.
class Waiter {
  public:
    virtual ~Waiter() = default;
    virtual void JobChanged() = 0;
};

}  // namespace

struct HttpServer::Impl {
    explicit Impl(Api& api) : api(api), signals(io, SIGTERM, SIGINT) {}

    // Declared before the I/O context, so they outlive the sessions that it destroys last.
    Api& api;
    std::size_t connections = 0;
    std::multimap<std::string, std::weak_ptr<Waiter>> waiters;
    std::vector<std::string> announcements;
    net::io_context io{1};
    net::signal_set signals;
    std::vector<std::unique_ptr<Tcp::acceptor>> tcpAcceptors;
    std::vector<std::unique_ptr<Local::acceptor>> localAcceptors;

    template <class Protocol>
    void Accept(typename Protocol::acceptor& acceptor, bool tcp);
    void Wake(const std::string& id) {
        const auto [first, last] = waiters.equal_range(id);
        std::vector<std::shared_ptr<Waiter>> woken;
        for (auto it = first; it != last; ++it) {
            if (auto waiter = it->second.lock()) {
                woken.push_back(std::move(waiter));
            }
        }
        waiters.erase(first, last);
        for (const auto& waiter : woken) {
            waiter->JobChanged();
        }
    }
};

namespace {

// One connection: requests one after another (keep-alive), each read with a deadline.
template <class Protocol>
class Session : public Waiter, public std::enable_shared_from_this<Session<Protocol>> {
  public:
    using Stream = beast::basic_stream<Protocol>;

    Session(HttpServer::Impl& server, typename Protocol::socket socket, bool tcp, bool busy)
        : server_(server), stream_(std::move(socket)), tcp_(tcp), busy_(busy), timer_(server.io) {
        ++server_.connections;
    }
    ~Session() override { --server_.connections; }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    void Start() { ReadHeader(); }

    void JobChanged() override { timer_.cancel(); }

  private:
    void ReadHeader() {
        request_ = HttpRequest();
        parser_.emplace();
        parser_->header_limit(static_cast<std::uint32_t>(kHeaderLimit));
        // The body's limit is checked once the header has been screened: a foreign origin
        // hears 403 before anything else.
        // (Not boost::none: this Beast compares a length with an empty limit as over it.)
        parser_->body_limit(std::numeric_limits<std::uint64_t>::max());
        stream_.expires_after(kHeaderTimeout);
        http::async_read_header(
            stream_, buffer_, *parser_,
            [self = this->shared_from_this()](ErrorCode ec, std::size_t) { self->OnHeader(ec); });
    }

    void OnHeader(ErrorCode ec) {
        if (ec == http::error::header_limit) {
            return Fail(Problem(431, "the request's header is over 8 KiB"));
        }
        if (ec == http::error::end_of_stream || ec == beast::error::timeout ||
            ec == net::error::connection_reset || ec == net::error::operation_aborted) {
            return Close();
        }
        if (ec) {
            return Fail(Problem(400, "the request is not valid HTTP/1.1"));
        }
        const auto& message = parser_->get();
        request_.method = std::string(message.method_string());
        request_.target = std::string(message.target());
        request_.overTcp = tcp_;
        for (const auto& field : message) {
            std::string name(field.name_string());
            for (char& c : name) {
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            // A repeated header keeps its first value.
            request_.headers.emplace(std::move(name), std::string(field.value()));
        }
        if (std::optional<HttpResponse> refused = server_.api.Screen(request_)) {
            return Fail(std::move(*refused));
        }
        if (busy_) {
            HttpResponse busy = Problem(503, "too many connections; try again");
            busy.headers.emplace_back("Retry-After", "1");
            return Fail(std::move(busy));
        }
        const boost::optional<std::uint64_t> length = parser_->content_length();
        if (length && *length > kBodyLimit) {
            return Fail(Problem(413, "the body is over 1 MiB"));
        }
        parser_->body_limit(kBodyLimit);
        if (parser_->is_done()) {
            return Dispatch();
        }
        if (beast::iequals(message[http::field::expect], "100-continue")) {
            auto interim = std::make_shared<http::response<http::empty_body>>(
                http::status::continue_, message.version());
            stream_.expires_after(kWriteTimeout);
            http::async_write(
                stream_, *interim,
                [self = this->shared_from_this(), interim](ErrorCode error, std::size_t) {
                    if (error) {
                        return self->Close();
                    }
                    self->ReadBody();
                });
            return;
        }
        ReadBody();
    }

    void ReadBody() {
        stream_.expires_after(kBodyTimeout);
        http::async_read(stream_, buffer_, *parser_,
                         [self = this->shared_from_this()](ErrorCode ec, std::size_t) {
                             if (ec == http::error::body_limit) {
                                 return self->Fail(Problem(413, "the body is over 1 MiB"));
                             }
                             if (ec == beast::error::timeout || ec == http::error::end_of_stream ||
                                 ec == net::error::connection_reset) {
                                 return self->Close();
                             }
                             if (ec) {
                                 return self->Fail(Problem(400, "the request body is malformed"));
                             }
                             self->Dispatch();
                         });
    }

    void Dispatch() {
        request_.body = std::move(parser_->get().body());
        keepAlive_ = parser_->get().keep_alive();
        ApiReply reply = server_.api.Handle(request_);
        if (reply.waitJob.empty()) {
            return Send(std::move(reply.response), false);
        }
        complete_ = std::move(reply.complete);
        ended_ = std::move(reply.ended);
        server_.waiters.emplace(reply.waitJob, this->weak_from_this());
        waitJob_ = reply.waitJob;
        waitUntil_ = std::chrono::steady_clock::now() + reply.wait;
        Wait();
    }

    // Waits for the job to end or the time to pass; each change of the job wakes it to look.
    void Wait() {
        stream_.expires_never();
        timer_.expires_at(waitUntil_);
        timer_.async_wait([self = this->shared_from_this()](ErrorCode) {
            if (!self->ended_() && std::chrono::steady_clock::now() < self->waitUntil_) {
                self->server_.waiters.emplace(self->waitJob_, self->weak_from_this());
                return self->Wait();
            }
            self->Send(self->complete_(), false);
        });
    }

    // Answers a request that cannot go on, then reads what the client still sends (for a
    // while) so that it hears the answer, and closes.
    void Fail(HttpResponse response) {
        keepAlive_ = false;
        Send(std::move(response), true);
    }

    void Send(HttpResponse answer, bool drain) {
        server_.api.Decorate(request_, answer);
        auto response = std::make_shared<http::response<http::string_body>>();
        response->version(11);
        response->result(static_cast<unsigned>(answer.status));
        response->set(http::field::server, "tallixd");
        response->set(http::field::cache_control, "no-store");
        for (auto& [name, value] : answer.headers) {
            response->insert(name, value);
        }
        response->body() = std::move(answer.body);
        response->keep_alive(keepAlive_ && !drain);
        response->prepare_payload();
        stream_.expires_after(kWriteTimeout);
        http::async_write(
            stream_, *response,
            [self = this->shared_from_this(), response, drain](ErrorCode ec, std::size_t) {
                if (ec) {
                    return self->Close();
                }
                if (drain) {
                    return self->Drain();
                }
                if (!response->keep_alive()) {
                    return self->Close();
                }
                self->ReadHeader();
            });
    }

    void Drain() {
        ErrorCode ignored;
        stream_.socket().shutdown(Protocol::socket::shutdown_send, ignored);
        stream_.expires_after(kDrainTimeout);
        DrainSome();
    }

    void DrainSome() {
        stream_.async_read_some(net::buffer(scratch_),
                                [self = this->shared_from_this()](ErrorCode ec, std::size_t got) {
                                    self->drained_ += got;
                                    if (ec || self->drained_ > kDrainLimit) {
                                        return self->Close();
                                    }
                                    self->DrainSome();
                                });
    }

    void Close() {
        ErrorCode ignored;
        timer_.cancel();
        stream_.socket().shutdown(Protocol::socket::shutdown_both, ignored);
        stream_.close();
    }

    HttpServer::Impl& server_;
    Stream stream_;
    bool tcp_;
    bool busy_;  // over the connection limit: every request is answered 503
    net::steady_timer timer_;
    beast::flat_buffer buffer_{kHeaderLimit + kBodyLimit + 4096};
    std::optional<http::request_parser<http::string_body>> parser_;
    HttpRequest request_;
    bool keepAlive_ = true;
    std::function<HttpResponse()> complete_;
    std::function<bool()> ended_;
    std::string waitJob_;
    std::chrono::steady_clock::time_point waitUntil_;
    std::array<char, 16384> scratch_{};
    std::size_t drained_ = 0;
};

std::string TcpText(const Tcp::endpoint& endpoint) {
    const net::ip::address address = endpoint.address();
    const std::string host =
        address.is_v6() ? "[" + address.to_string() + "]" : address.to_string();
    return "listening on http://" + host + ":" + std::to_string(endpoint.port());
}

}  // namespace

template <class Protocol>
void HttpServer::Impl::Accept(typename Protocol::acceptor& acceptor, bool tcp) {
    acceptor.async_accept([this, &acceptor, tcp](ErrorCode ec, typename Protocol::socket socket) {
        if (ec == net::error::operation_aborted || !acceptor.is_open()) {
            return;
        }
        if (!ec) {
            // Past the limit a connection still hears why (once its header is in, within
            // the header's time); past twice the limit it is closed at once.
            if (connections < 2 * kConnectionLimit) {
                const bool busy = connections >= kConnectionLimit;
                std::make_shared<Session<Protocol>>(*this, std::move(socket), tcp, busy)->Start();
            }
        }
        Accept<Protocol>(acceptor, tcp);
    });
}

HttpServer::HttpServer(Api& api) : impl_(std::make_unique<Impl>(api)) {}

HttpServer::~HttpServer() = default;

bool HttpServer::Listen(const ListenAddress& address, std::string& error) {
    ErrorCode ec;
    if (address.kind == ListenAddress::Kind::Tcp) {
        const Tcp::endpoint endpoint(net::ip::make_address(address.host), address.port);
        auto acceptor = std::make_unique<Tcp::acceptor>(impl_->io);
        (void)acceptor->open(endpoint.protocol(), ec);
        if (!ec) {
            (void)acceptor->set_option(net::socket_base::reuse_address(true), ec);
        }
        if (!ec) {
            (void)acceptor->bind(endpoint, ec);
        }
        if (!ec) {
            (void)acceptor->listen(net::socket_base::max_listen_connections, ec);
        }
        if (ec) {
            error = "--listen " + address.host + ":" + std::to_string(address.port) + ": " +
                    ec.message();
            return false;
        }
        impl_->announcements.push_back(TcpText(acceptor->local_endpoint()));
        impl_->tcpAcceptors.push_back(std::move(acceptor));
        return true;
    }
    // A socket file left by an earlier run is replaced; any other file is not touched.
    struct stat info {};
    if (::lstat(address.path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) {
        (void)::unlink(address.path.c_str());
    }
    auto acceptor = std::make_unique<Local::acceptor>(impl_->io);
    const Local::endpoint endpoint(address.path);
    (void)acceptor->open(endpoint.protocol(), ec);
    if (!ec) {
        (void)acceptor->bind(endpoint, ec);
    }
    if (!ec && ::chmod(address.path.c_str(), kSocketMode) != 0) {
        ec = ErrorCode(errno, boost::system::system_category());
    }
    if (!ec) {
        (void)acceptor->listen(net::socket_base::max_listen_connections, ec);
    }
    if (ec) {
        error = "--listen unix:" + address.path + ": " + ec.message();
        return false;
    }
    impl_->announcements.push_back("listening on unix:" + address.path);
    impl_->localAcceptors.push_back(std::move(acceptor));
    return true;
}

bool HttpServer::Adopt(int fd, bool& tcp, std::string& where, std::string& error) {
    ErrorCode ec;
    if (sd_is_socket_unix(fd, SOCK_STREAM, 1, nullptr, 0) > 0) {
        tcp = false;
        auto acceptor = std::make_unique<Local::acceptor>(impl_->io);
        (void)acceptor->assign(Local(), fd, ec);
        if (ec) {
            error = "socket from systemd: " + ec.message();
            return false;
        }
        where = "unix:" + acceptor->local_endpoint().path();
        impl_->announcements.push_back("listening on " + where);
        impl_->localAcceptors.push_back(std::move(acceptor));
        return true;
    }
    const bool v4 = sd_is_socket_inet(fd, AF_INET, SOCK_STREAM, 1, 0) > 0;
    const bool v6 = sd_is_socket_inet(fd, AF_INET6, SOCK_STREAM, 1, 0) > 0;
    if (!v4 && !v6) {
        error = "a socket from systemd is neither a listening Unix nor TCP stream socket";
        return false;
    }
    tcp = true;
    auto acceptor = std::make_unique<Tcp::acceptor>(impl_->io);
    (void)acceptor->assign(v4 ? Tcp::v4() : Tcp::v6(), fd, ec);
    if (ec) {
        error = "socket from systemd: " + ec.message();
        return false;
    }
    const Tcp::endpoint endpoint = acceptor->local_endpoint();
    if (!endpoint.address().is_loopback()) {
        error = "a socket from systemd listens on " + endpoint.address().to_string() +
                ": only loopback addresses are served";
        return false;
    }
    ListenAddress address;
    address.kind = ListenAddress::Kind::Tcp;
    address.host = endpoint.address().to_string();
    address.port = endpoint.port();
    where = ListenAddressText(address);
    impl_->announcements.push_back(TcpText(endpoint));
    impl_->tcpAcceptors.push_back(std::move(acceptor));
    return true;
}

std::vector<std::string> HttpServer::Announcements() const {
    return impl_->announcements;
}

void HttpServer::Run() {
    for (auto& acceptor : impl_->tcpAcceptors) {
        impl_->Accept<Tcp>(*acceptor, true);
    }
    for (auto& acceptor : impl_->localAcceptors) {
        impl_->Accept<Local>(*acceptor, false);
    }
    impl_->signals.async_wait([this](ErrorCode ec, int) {
        if (!ec) {
            Stop();
        }
    });
    impl_->io.run();
}

void HttpServer::Stop() {
    net::post(impl_->io, [this] {
        ErrorCode ignored;
        for (auto& acceptor : impl_->tcpAcceptors) {
            (void)acceptor->close(ignored);
        }
        for (auto& acceptor : impl_->localAcceptors) {
            (void)acceptor->close(ignored);
        }
        impl_->io.stop();
    });
}

void HttpServer::JobChanged(const std::string& id) {
    net::post(impl_->io, [this, id] { impl_->Wake(id); });
}

}  // namespace tallix
