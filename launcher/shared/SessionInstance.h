#pragma once

#include <QDBusContext>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace kest {

class LinkTopic;

// One kest per user session: two would run two browser engines on the same
// on-disk profile (its cookie and cache databases have one owner each), two
// tray icons, and only one could hold the hot key.
//
// The first start claims the link topic's service name early, before any
// window; its objects are registered before the name is taken, so a call
// that started kest through bus activation finds them. A later start hands
// its command text to the first through HandOver(s) on kObjectPath and ends:
// "/web" opens the home page, a web address opens as a page, anything else
// brings the first one's window forward. When the name is held by a program
// that does not answer HandOver, the event log says so and the start goes on
// on its own, without the link topic.
class SessionInstance final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kest.Instance")
    Q_DISABLE_COPY_MOVE(SessionInstance)

public:
    static constexpr const char* kObjectPath = "/Instance";
    static constexpr const char* kInterfaceName = "org.kest.Instance";
    static constexpr const char* kFailedError = "org.kest.Instance.Error.Failed";

    struct Actions {
        std::function<bool(const QString& address)> openAddress;
        std::function<bool()> openHomePage;
        std::function<void()> showWindow;
    };

    enum class Claim {
        First, // this process holds the name: go on
        HandedOver, // the first one took the command text: end with 0
        NotHandedOver, // the first one could not act on it: end, unsuccessfully
        Alone, // no bus, or the name is held by another program: go on
    };

    explicit SessionInstance(Actions actions, QObject* parent = nullptr);
    ~SessionInstance() override;

    Claim claim(const QString& commandText);

public Q_SLOTS:
    Q_SCRIPTABLE void HandOver(const QString& commandText);

private:
    Claim handOver(const QString& commandText);

    Actions m_actions;
    std::unique_ptr<LinkTopic> m_link;
    bool m_objectRegistered = false;
};

} // namespace kest
