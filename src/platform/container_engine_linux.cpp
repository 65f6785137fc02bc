#include "platform/container_engine.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <curl/curl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <mutex>

using namespace Qt::StringLiterals;

namespace vantu::platform {
namespace {

struct Received {
    QByteArray body;
    qsizetype maxBytes = 0;
    bool tooLarge = false;
};

size_t keep(char* data, size_t size, size_t count, void* user) {
    auto* received = static_cast<Received*>(user);
    const auto length = static_cast<qsizetype>(size * count);
    if (received->body.size() + length > received->maxBytes) {
        received->tooLarge = true;
        return 0;  // ends the transfer
    }
    received->body.append(data, length);
    return size * count;
}

void initialiseOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_NOTHING); });
}

// A small JSON file of the docker client's configuration; an empty object when unreadable.
QJsonObject readJson(const QString& path) {
    QFile file(path);
    constexpr qint64 kLimit = 1 << 20;
    if (!file.open(QIODevice::ReadOnly) || file.size() > kLimit) {
        return {};
    }
    return QJsonDocument::fromJson(file.read(kLimit)).object();
}

using Handle = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;

// A handle for one exchange with the engine behind the unix socket, over plain HTTP only, that
// never raises a signal; null when none could be made. libcurl keeps its own copies of the texts.
Handle connectionTo(const QString& socketPath, const QByteArray& path) {
    initialiseOnce();
    Handle handle(curl_easy_init(), curl_easy_cleanup);
    if (CURL* curl = handle.get()) {
        curl_easy_setopt(curl, CURLOPT_UNIX_SOCKET_PATH, QFile::encodeName(socketPath).constData());
        curl_easy_setopt(curl, CURLOPT_URL, QByteArray("http://localhost" + path).constData());
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http");
    }
    return handle;
}

}  // namespace

std::variant<EngineReply, EngineFailure> engineRequest(const QString& socketPath, const QByteArray& method,
                                                       const QByteArray& path, std::chrono::milliseconds limit,
                                                       qsizetype maxBytes) {
    const Handle handle = connectionTo(socketPath, path);
    if (!handle) {
        return EngineFailure{u"the connection could not be set up"_s};
    }
    CURL* curl = handle.get();
    Received received{.maxBytes = maxBytes};
    char error[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method.constData());
    if (method == "POST") {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, 0L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, "");
    }
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(limit.count()));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, keep);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &received);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    const CURLcode result = curl_easy_perform(curl);
    if (received.tooLarge) {
        return EngineFailure{u"its answer was larger than %1 MB"_s.arg(maxBytes / (1024 * 1024)), true};
    }
    if (result == CURLE_COULDNT_CONNECT) {
        return EngineFailure{u"nothing answers at %1"_s.arg(socketPath)};
    }
    if (result == CURLE_OPERATION_TIMEDOUT) {
        return EngineFailure{u"it did not answer within %1 s"_s.arg(static_cast<double>(limit.count()) / 1000.0), true,
                             true};
    }
    if (result != CURLE_OK) {
        return EngineFailure{QString::fromUtf8(error[0] != '\0' ? error : curl_easy_strerror(result)), true};
    }
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    return EngineReply{static_cast<int>(status), std::move(received.body)};
}

namespace {

struct Stream {
    const std::function<void(const QByteArray&)>* received;
    const std::function<bool()>* keepGoing;
    bool endedByCaller = false;
};

size_t pass(char* data, size_t size, size_t count, void* user) {
    auto* stream = static_cast<Stream*>(user);
    (*stream->received)(QByteArray(data, static_cast<qsizetype>(size * count)));
    return size * count;
}

int askToGoOn(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* stream = static_cast<Stream*>(user);
    stream->endedByCaller = !(*stream->keepGoing)();
    return stream->endedByCaller ? 1 : 0;  // non-zero aborts the transfer
}

}  // namespace

std::optional<EngineFailure> engineStream(const QString& socketPath, const QByteArray& path,
                                          std::chrono::milliseconds connectLimit,
                                          const std::function<void(const QByteArray&)>& received,
                                          const std::function<bool()>& keepGoing) {
    const Handle handle = connectionTo(socketPath, path);
    if (!handle) {
        return EngineFailure{u"the connection could not be set up"_s};
    }
    CURL* curl = handle.get();
    Stream stream{&received, &keepGoing};
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connectLimit.count()));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, pass);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &stream);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, askToGoOn);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &stream);
    const CURLcode result = curl_easy_perform(curl);
    if (stream.endedByCaller) {
        return std::nullopt;
    }
    if (result == CURLE_OK) {
        return EngineFailure{u"the engine ended the stream"_s, true};
    }
    return EngineFailure{QString::fromUtf8(curl_easy_strerror(result)), result != CURLE_COULDNT_CONNECT};
}

EngineSettings readEngineSettings() {
    const auto variable = [](const char* name) -> std::optional<QString> {
        const QString value = qEnvironmentVariable(name);
        return value.isEmpty() ? std::nullopt : std::optional(value);
    };
    EngineSettings settings{
        .dockerHost = variable("DOCKER_HOST"),
        .containerHost = variable("CONTAINER_HOST"),
        .runtimeDirectory = qEnvironmentVariable("XDG_RUNTIME_DIR"),
        .homeDirectory = QDir::homePath(),
    };
    const QString config = variable("DOCKER_CONFIG").value_or(settings.homeDirectory + u"/.docker"_s);
    const QString context =
        variable("DOCKER_CONTEXT").value_or(readJson(config + u"/config.json"_s)[u"currentContext"_s].toString());
    if (!context.isEmpty() && context != u"default"_s) {
        // The client keeps a context's endpoints in a folder named by the SHA-256 of its name.
        const QByteArray folder = QCryptographicHash::hash(context.toUtf8(), QCryptographicHash::Sha256).toHex();
        const QJsonObject meta =
            readJson(config + u"/contexts/meta/"_s + QString::fromLatin1(folder) + u"/meta.json"_s);
        const QString host = meta[u"Endpoints"_s][u"docker"_s][u"Host"_s].toString();
        if (!host.isEmpty()) {
            settings.dockerContextHost = host;
        }
    }
    return settings;
}

bool isSocket(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISSOCK(info.st_mode);
}

bool mayConnect(const QString& path) {
    return ::access(QFile::encodeName(path).constData(), R_OK | W_OK) == 0;
}

}  // namespace vantu::platform
