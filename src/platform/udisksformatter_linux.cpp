#include "platform/formatrules.h"
#include "platform/udisksformatter.h"

#include <QByteArrayList>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QEventLoop>
#include <QVariantMap>

#include <atomic>

namespace platform {

namespace {

const QString Service = QStringLiteral("org.freedesktop.UDisks2");
const QString ManagerPath = QStringLiteral("/org/freedesktop/UDisks2/Manager");
const QString ManagerInterface = QStringLiteral("org.freedesktop.UDisks2.Manager");
const QString BlockInterface = QStringLiteral("org.freedesktop.UDisks2.Block");
const QString FilesystemInterface = QStringLiteral("org.freedesktop.UDisks2.Filesystem");
const QString PropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

// Looking things up is quick; unmounting flushes the card, and every change may wait for the
// user at an authorisation prompt before the work starts.
constexpr int LookupTimeoutMs = 25 * 1000;
constexpr int ChangeTimeoutMs = 60 * 60 * 1000;

std::atomic<bool> g_formatting{false};

// The bus, or nothing to format with, for the length of one format.
class Bus
{
public:
    explicit Bus(const std::string& address)
        : m_name(address.empty() ? QString() : uniqueName())
        , m_bus(address.empty()
                    ? QDBusConnection::systemBus()
                    : QDBusConnection::connectToBus(QString::fromStdString(address), m_name))
    {}
    ~Bus()
    {
        // The connection must go before the name: closing a private connection that is still
        // referenced leaves it to be freed unclosed, which libdbus treats as fatal.
        m_bus = QDBusConnection(QString());
        if (!m_name.isEmpty())
            QDBusConnection::disconnectFromBus(m_name);
    }
    Bus(const Bus&) = delete;
    Bus& operator=(const Bus&) = delete;
    QDBusConnection& connection() { return m_bus; }

private:
    static QString uniqueName()
    {
        static std::atomic<int> serial{0};
        return QStringLiteral("quorvelcard-udisks-%1").arg(++serial);
    }

    const QString m_name; // of a private connection, empty for the shared system bus
    QDBusConnection m_bus;
};

bool isAbsent(const QString& errorName)
{
    static const QStringList names = {
        QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown"),
        QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner"),
        QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"),
        QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"),
        QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
    };
    return names.contains(errorName);
}

class Session
{
public:
    Session(QDBusConnection& bus, UdisksFormatResult& result)
        : m_bus(bus)
        , m_result(result)
    {}

    // Sends one call and waits for its answer with the event loop running. On an error
    // records the outcome: `absentMeansUnsupported` for lookups, where a missing service or
    // object means the device is not udisks's to format.
    bool call(const QString& path, const QString& interface, const QString& member,
              const QVariantList& args, bool isChange, QVariantList& reply)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(Service, path, interface, member);
        message.setArguments(args);
        message.setInteractiveAuthorizationAllowed(true);
        QDBusPendingCall pending =
            m_bus.asyncCall(message, isChange ? ChangeTimeoutMs : LookupTimeoutMs);
        if (!pending.isFinished()) {
            QEventLoop loop;
            QDBusPendingCallWatcher watcher(pending);
            QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop,
                             &QEventLoop::quit);
            if (!pending.isFinished())
                loop.exec(QEventLoop::ExcludeUserInputEvents);
        }
        const QDBusMessage answer = pending.reply();
        if (answer.type() == QDBusMessage::ReplyMessage) {
            reply = answer.arguments();
            return true;
        }
        const QString name = answer.errorName();
        if (name == QLatin1String("org.freedesktop.UDisks2.Error.NotAuthorizedDismissed"))
            m_result.outcome = FormatOutcome::Cancelled;
        else if (!isChange && isAbsent(name))
            m_result.outcome = FormatOutcome::Unsupported;
        else
            m_result.outcome = FormatOutcome::Failed;
        m_result.detail =
            (member + QStringLiteral(": ") + name + QStringLiteral(": ") + answer.errorMessage())
                .toStdString();
        return false;
    }

    // All properties of one interface of the object; false when it has no such interface.
    bool properties(const QString& path, const QString& interface, QVariantMap& values)
    {
        QVariantList reply;
        if (!call(path, PropertiesInterface, QStringLiteral("GetAll"), {interface}, false, reply) ||
            reply.isEmpty())
            return false;
        values = qdbus_cast<QVariantMap>(reply.first());
        return true;
    }

    void refuse(FormatOutcome outcome, const char* why)
    {
        m_result.outcome = outcome;
        m_result.detail = why;
    }

private:
    QDBusConnection& m_bus;
    UdisksFormatResult& m_result;
};

void runFormat(QDBusConnection& bus, const UdisksFormatRequest& request, UdisksFormatResult& result)
{
    Session session(bus, result);
    QVariantList reply;
    const QVariantMap device{{QStringLiteral("path"), QString::fromStdString(request.devicePath)}};
    if (!session.call(ManagerPath, ManagerInterface, QStringLiteral("ResolveDevice"),
                      {device, QVariantMap()}, false, reply))
        return;
    const auto objects =
        reply.isEmpty() ? QList<QDBusObjectPath>() : qdbus_cast<QList<QDBusObjectPath>>(reply[0]);
    if (objects.isEmpty())
        return session.refuse(FormatOutcome::Unsupported, "the disk service does not know it");
    const QString object = objects.first().path();

    QVariantMap block;
    if (!session.properties(object, BlockInterface, block))
        return;
    if (block.value(QStringLiteral("HintSystem")).toBool())
        return session.refuse(FormatOutcome::Unsupported, "a system disk");

    // No file system interface (a blank card) simply means there is nothing to unmount.
    QVariantMap filesystem;
    UdisksFormatResult lookup;
    Session quiet(bus, lookup);
    if (quiet.properties(object, FilesystemInterface, filesystem) &&
        !qdbus_cast<QByteArrayList>(filesystem.value(QStringLiteral("MountPoints"))).isEmpty() &&
        !session.call(object, FilesystemInterface, QStringLiteral("Unmount"), {QVariantMap()}, true,
                      reply))
        return;

    result.fileSystem = fileSystemForCard(request.diskBytes);
    const std::string label = labelForFileSystem(
        request.label ? *request.label
                      : block.value(QStringLiteral("IdLabel")).toString().toStdString(),
        result.fileSystem);
    QVariantMap options{{QStringLiteral("update-partition-type"), true}};
    if (!label.empty())
        options.insert(QStringLiteral("label"), QString::fromStdString(label));
    if (!session.call(object, BlockInterface, QStringLiteral("Format"),
                      {QString::fromStdString(result.fileSystem), options}, true, reply))
        return;

    if (!session.call(object, FilesystemInterface, QStringLiteral("Mount"), {QVariantMap()}, true,
                      reply))
        return;
    result.outcome = FormatOutcome::Done;
    result.mountPoint = reply.isEmpty() ? std::string() : reply[0].toString().toStdString();
}

} // namespace

UdisksFormatResult formatWithUdisks(const UdisksFormatRequest& request)
{
    UdisksFormatResult result;
    if (!QCoreApplication::instance()) {
        result.detail = "no Qt application to wait in";
        return result;
    }
    if (g_formatting.exchange(true)) {
        result.detail = "another format is running";
        return result;
    }
    {
        Bus bus(request.busAddress);
        if (!bus.connection().isConnected()) {
            result.outcome = FormatOutcome::Unsupported;
            result.detail = "no D-Bus: " + bus.connection().lastError().message().toStdString();
        } else {
            runFormat(bus.connection(), request, result);
        }
    }
    g_formatting = false;
    return result;
}

} // namespace platform
