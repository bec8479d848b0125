#include "service/JobStore.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>

#include "config/AtomicFile.h"
#include "config/FileSystem.h"
#include "posix/ErrnoText.h"
#include "posix/SystemLog.h"
#include "posix/UniqueFd.h"

namespace tallix {
namespace {

using Json = nlohmann::json;

constexpr std::size_t kIdLength = 32;
constexpr mode_t kPrivateFolder = 0700;
constexpr mode_t kPrivateFile = 0600;

bool IsId(std::string_view name) {
    if (name.size() != kIdLength) {
        return false;
    }
    for (const char c : name) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return true;
}

std::string ReadWhole(const std::string& path) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    std::string bytes;
    if (!fd) {
        return bytes;
    }
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd.get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        bytes.append(chunk, static_cast<std::size_t>(got));
    }
    return bytes;
}

// Writes a new file and syncs it; false on any failure.
bool WriteSynced(const std::string& path, std::string_view bytes) {
    const UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kPrivateFile));
    if (!fd) {
        return false;
    }
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd.get(), bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return ::fsync(fd.get()) == 0;
}

bool SyncFolder(const std::string& path) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd && ::fsync(fd.get()) == 0;
}

// Removes a job's folder and what it holds (files only: the store makes no deeper folders).
void RemoveFolder(const std::string& path) {
    if (DIR* dir = ::opendir(path.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                std::string file = path;
                file += '/';
                file += name;
                (void)::unlink(file.c_str());
            }
        }
        ::closedir(dir);
    }
    (void)::rmdir(path.c_str());
}

bool MakePrivateFolder(const std::string& path, std::string& error) {
    if (!CreateFolderChain(path, &error, kPrivateFolder)) {
        return false;
    }
    // An older folder may have looser bits: the jobs hold what tills print.
    if (::chmod(path.c_str(), kPrivateFolder) != 0) {
        error = path + ": " + ErrnoText(errno);
        return false;
    }
    return true;
}

std::optional<ServiceJobState> StateNamed(std::string_view name) {
    for (const ServiceJobState state : {ServiceJobState::Queued, ServiceJobState::Running,
                                        ServiceJobState::Waiting, ServiceJobState::Done}) {
        if (name == JobStateName(state)) {
            return state;
        }
    }
    return std::nullopt;
}

}  // namespace

const char* JobStateName(ServiceJobState state) {
    switch (state) {
        case ServiceJobState::Queued:
            return "queued";
        case ServiceJobState::Running:
            return "running";
        case ServiceJobState::Waiting:
            return "waiting";
        case ServiceJobState::Done:
            return "done";
    }
    return "queued";
}

JobStore::JobStore(const std::string& stateFolder)
    : folder_(stateFolder + "/jobs"), journalFolder_(stateFolder + "/journals") {}

std::unique_ptr<JobStore> JobStore::Open(const std::string& stateFolder, std::string& error) {
    std::unique_ptr<JobStore> store(new JobStore(stateFolder));
    if (!MakePrivateFolder(stateFolder, error) || !MakePrivateFolder(store->folder_, error) ||
        !MakePrivateFolder(store->journalFolder_, error) || !store->Load(error)) {
        return nullptr;
    }
    return store;
}

std::string JobStore::IdOf(const std::string& printer, const std::string& idempotencyKey) {
    JobIdentityHasher hasher;
    hasher.add("tallixd job id\n");
    hasher.add(printer);
    hasher.add(std::string_view("\0", 1));
    hasher.add(idempotencyKey);
    return IdentityText(hasher.identity());
}

std::string JobStore::BodyHash(std::string_view body, std::string_view charset) {
    JobIdentityHasher hasher;
    hasher.add(charset);
    hasher.add(std::string_view("\0", 1));
    hasher.add(body);
    return IdentityText(hasher.identity());
}

JobIdentity JobStore::JournalIdentity(const std::string& idempotencyKey, std::string_view bytes) {
    JobIdentityHasher hasher;
    hasher.add("tallixd job\n");
    hasher.add(idempotencyKey);
    hasher.add(std::string_view("\0", 1));
    hasher.add(bytes);
    return hasher.identity();
}

bool JobStore::Load(std::string& error) {
    DIR* dir = ::opendir(folder_.c_str());
    if (dir == nullptr) {
        error = folder_ + ": " + ErrnoText(errno);
        return false;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    for (const std::string& name : names) {
        const std::string path = folder_ + "/" + name;
        if (name.rfind(".new-", 0) == 0) {
            // A job whose acceptance a crash cut off: its caller never heard of it.
            RemoveFolder(path);
            continue;
        }
        if (!IsId(name)) {
            continue;
        }
        const Json job = Json::parse(ReadWhole(path + "/job.json"), nullptr, false);
        if (!job.is_object() || !job.contains("printer") || !job["printer"].is_string() ||
            !job.contains("idempotencyKey") || !job["idempotencyKey"].is_string() ||
            !job.contains("bodyHash") || !job["bodyHash"].is_string() || !job.contains("order") ||
            !job["order"].is_number_unsigned()) {
            LogToSystem("tallixd: job " + name + " is unreadable and left out");
            continue;
        }
        JobRecord record;
        record.id = name;
        record.printer = job["printer"].get<std::string>();
        record.idempotencyKey = job["idempotencyKey"].get<std::string>();
        record.bodyHash = job["bodyHash"].get<std::string>();
        record.order = job["order"].get<uint64_t>();
        record.queuePlace = static_cast<int64_t>(record.order);
        const Json state = Json::parse(ReadWhole(path + "/state.json"), nullptr, false);
        if (state.is_object()) {
            const auto name = state.value("state", std::string("queued"));
            record.state = StateNamed(name).value_or(ServiceJobState::Queued);
            if (state.contains("exitCode") && state["exitCode"].is_number_integer()) {
                record.exitCode = state["exitCode"].get<int>();
            }
            record.endedOnFailure = state.value("endedOnFailure", false);
            record.holdsQueue = state.value("holdsQueue", false);
            record.attempts = state.value("attempts", 0);
            record.claimed = state.value("claimed", uint64_t{0});
            record.queuePlace = state.value("queuePlace", record.queuePlace);
        }
        if (record.state == ServiceJobState::Done && !record.exitCode) {
            record.state = ServiceJobState::Running;  // cannot be: run it through the journal again
        }
        nextOrder_ = std::max(nextOrder_, record.order + 1);
        nextClaim_ = std::max(nextClaim_, record.claimed + 1);
        nextFront_ = std::min(nextFront_, record.queuePlace - 1);
        jobs_[record.id] = record;
        Index(record);
    }
    return true;
}

void JobStore::Index(const JobRecord& record) {
    if (record.state != ServiceJobState::Done) {
        pending_[record.printer][record.queuePlace] = record.id;
    } else if (record.holdsQueue) {
        holders_[record.printer].insert(record.id);
    }
}

void JobStore::Unindex(const JobRecord& record) {
    const auto printer = pending_.find(record.printer);
    if (printer != pending_.end()) {
        printer->second.erase(record.queuePlace);
    }
    const auto held = holders_.find(record.printer);
    if (held != holders_.end()) {
        held->second.erase(record.id);
        if (held->second.empty()) {
            holders_.erase(held);
        }
    }
}

Acceptance JobStore::Accept(const std::string& printer, const std::string& idempotencyKey,
                            const std::string& bodyHash, std::string_view commandBytes,
                            JobRecord& record) {
    const std::lock_guard lock(mutex_);
    const std::string id = IdOf(printer, idempotencyKey);
    if (const auto known = jobs_.find(id); known != jobs_.end()) {
        record = known->second;
        return known->second.bodyHash == bodyHash ? Acceptance::Replayed : Acceptance::KeyReused;
    }
    if (const auto queue = pending_.find(printer);
        queue != pending_.end() && queue->second.size() >= kQueueLimit) {
        return Acceptance::QueueFull;
    }
    JobRecord job;
    job.id = id;
    job.printer = printer;
    job.idempotencyKey = idempotencyKey;
    job.bodyHash = bodyHash;
    job.order = nextOrder_;
    job.queuePlace = static_cast<int64_t>(job.order);
    const Json description = {{"printer", printer},
                              {"idempotencyKey", idempotencyKey},
                              {"bodyHash", bodyHash},
                              {"order", job.order}};
    // Written whole in a folder of its own and renamed into place: a crash leaves either no
    // job or the whole job.
    const std::string fresh = folder_ + "/.new-" + id;
    const std::string place = folder_ + "/" + id;
    RemoveFolder(fresh);
    const bool written =
        ::mkdir(fresh.c_str(), kPrivateFolder) == 0 && WriteSynced(fresh + "/body", commandBytes) &&
        WriteSynced(fresh + "/job.json",
                    description.dump(-1, ' ', false, Json::error_handler_t::replace)) &&
        SyncFolder(fresh) && ::rename(fresh.c_str(), place.c_str()) == 0 && SyncFolder(folder_);
    if (!written) {
        LogToSystem("tallixd: a job could not be stored: " + ErrnoText(errno));
        RemoveFolder(fresh);
        return Acceptance::Failed;
    }
    ++nextOrder_;
    jobs_[id] = job;
    Index(job);
    record = job;
    return Acceptance::Created;
}

std::optional<JobRecord> JobStore::Find(const std::string& id) const {
    const std::lock_guard lock(mutex_);
    const auto found = jobs_.find(id);
    if (found == jobs_.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::string JobStore::BodyPath(const std::string& id) const {
    return folder_ + "/" + id + "/body";
}

std::string JobStore::ResultPath(const std::string& id) const {
    return folder_ + "/" + id + "/result";
}

std::string JobStore::ReadBody(const std::string& id) const {
    return ReadWhole(BodyPath(id));
}

bool JobStore::HasResult(const std::string& id) const {
    return Exists(ResultPath(id));
}

std::string JobStore::ReadResult(const std::string& id) const {
    return ReadWhole(ResultPath(id));
}

std::size_t JobStore::Pending(const std::string& printer) const {
    const std::lock_guard lock(mutex_);
    const auto queue = pending_.find(printer);
    return queue == pending_.end() ? 0 : queue->second.size();
}

std::optional<JobRecord> JobStore::NextPending(const std::string& printer) const {
    const std::lock_guard lock(mutex_);
    const auto queue = pending_.find(printer);
    if (queue == pending_.end() || queue->second.empty()) {
        return std::nullopt;
    }
    return jobs_.at(queue->second.begin()->second);
}

std::optional<JobRecord> JobStore::Claim(const std::string& printer) {
    JobRecord record;
    {
        const std::lock_guard lock(mutex_);
        const auto queue = pending_.find(printer);
        if (queue == pending_.end() || queue->second.empty() || holders_.count(printer) != 0) {
            return std::nullopt;
        }
        JobRecord& job = jobs_.at(queue->second.begin()->second);
        if (job.state == ServiceJobState::Queued) {
            job.state = ServiceJobState::Running;
        }
        ++job.attempts;
        job.claimed = nextClaim_++;
        record = job;
    }
    (void)WriteState(record);
    return record;
}

std::optional<std::string> JobStore::Holder(const std::string& printer) const {
    const std::lock_guard lock(mutex_);
    const auto held = holders_.find(printer);
    if (held == holders_.end()) {
        return std::nullopt;
    }
    return *held->second.begin();
}

bool JobStore::WriteState(const JobRecord& record) {
    Json state = {{"state", JobStateName(record.state)},
                  {"attempts", record.attempts},
                  {"claimed", record.claimed},
                  {"endedOnFailure", record.endedOnFailure},
                  {"queuePlace", record.queuePlace}};
    state["holdsQueue"] = record.holdsQueue;
    if (record.exitCode) {
        state["exitCode"] = *record.exitCode;
    }
    std::string error;
    if (!WriteFileAtomically(folder_ + "/" + record.id + "/state.json", state.dump(), &error,
                             kPrivateFile)) {
        LogToSystem("tallixd: the state of job " + record.id + " was not stored: " + error);
        return false;
    }
    return true;
}

bool JobStore::Update(const JobRecord& record) {
    {
        const std::lock_guard lock(mutex_);
        const auto found = jobs_.find(record.id);
        if (found == jobs_.end()) {
            return false;
        }
        Unindex(found->second);
        found->second = record;
        Index(record);
    }
    return WriteState(record);
}

bool JobStore::RemoveQueued(const std::string& id) {
    const std::lock_guard lock(mutex_);
    const auto found = jobs_.find(id);
    if (found == jobs_.end() || found->second.state != ServiceJobState::Queued) {
        return false;
    }
    // Renamed out of the store first, so a crash while its files go leaves no half job.
    const std::string place = folder_ + "/" + id;
    const std::string gone = folder_ + "/.new-" + id;
    if (::rename(place.c_str(), gone.c_str()) != 0 || !SyncFolder(folder_)) {
        return false;
    }
    RemoveFolder(gone);
    Unindex(found->second);
    jobs_.erase(found);
    return true;
}

JobStore::ReleaseResult JobStore::Release(const std::string& id) {
    // The lock is held over the write: a retry of the same job cannot come in between.
    const std::lock_guard lock(mutex_);
    const auto found = jobs_.find(id);
    if (found == jobs_.end() || found->second.state != ServiceJobState::Done ||
        !found->second.holdsQueue) {
        return ReleaseResult::NotHolding;
    }
    JobRecord released = found->second;
    released.holdsQueue = false;
    // Only once it is on the disk: the client hears whether the release holds, and a restart
    // never brings back a hold that a client was told had ended (nor the other way round).
    if (!WriteState(released)) {
        return ReleaseResult::Failed;
    }
    Unindex(found->second);
    found->second = released;
    Index(released);
    return ReleaseResult::Released;
}

JobStore::RequeueResult JobStore::Requeue(const std::string& id) {
    JobRecord record;
    {
        const std::lock_guard lock(mutex_);
        const auto found = jobs_.find(id);
        if (found == jobs_.end() || found->second.state != ServiceJobState::Done ||
            !found->second.endedOnFailure) {
            return RequeueResult::NotRetryable;
        }
        for (const auto& [otherId, other] : jobs_) {
            if (other.printer == found->second.printer && other.claimed > found->second.claimed) {
                return RequeueResult::AnotherRanSince;
            }
        }
        record = found->second;
        record.state = ServiceJobState::Queued;
        record.exitCode.reset();
        record.endedOnFailure = false;
        record.holdsQueue = false;
        record.queuePlace = nextFront_--;
    }
    // A write that failed leaves the job queued in memory all the same: it runs now, and a
    // restart finds it done as before.
    (void)Update(record);
    return RequeueResult::Queued;
}

std::vector<std::string> JobStore::Printers() const {
    const std::lock_guard lock(mutex_);
    std::vector<std::string> printers;
    for (const auto& [printer, queue] : pending_) {
        printers.push_back(printer);
    }
    return printers;
}

}  // namespace tallix
