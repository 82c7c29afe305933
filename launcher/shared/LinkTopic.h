#pragma once

#include <QDBusContext>
#include <QObject>
#include <QString>

#include <functional>

namespace kest {

// The main window's link topic "PlenwickDDE", offered to other programs on
// the session bus: service kServiceName, object kObjectPath, interface
// kInterfaceName, method Execute(s). Any program of the session can call it,
// so its text is held to the rule for page addresses (isWebAddress): an
// execute with a web address is handed on to the window and returns once the
// window has acted; anything else, and an address the window could not open,
// gets an error reply and an event log line, and the window is not touched.
//
//   gdbus call --session --dest org.kest.Client --object-path /PlenwickDDE
//       --method org.kest.PlenwickDDE.Execute 'http://host/game/name'
//
// When another program holds the service name (a second kest, say), the
// topic is not offered, the event log says so, and nothing else changes.
class LinkTopic final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kest.PlenwickDDE")
    Q_DISABLE_COPY_MOVE(LinkTopic)

public:
    static constexpr const char* kServiceName = "org.kest.Client";
    static constexpr const char* kObjectPath = "/PlenwickDDE";
    static constexpr const char* kInterfaceName = "org.kest.PlenwickDDE";

    // Opens or selects the page of a web address; false when it could not.
    using Handler = std::function<bool(const QString& address)>;

    // Error names of the replies.
    static constexpr const char* kRefusedError = "org.kest.PlenwickDDE.Error.NotAWebAddress";
    static constexpr const char* kNotOpenedError = "org.kest.PlenwickDDE.Error.NotOpened";

    // Why `command` is refused before it reaches the window; empty when it
    // is a web address.
    static QString refusal(const QString& command);

    // Offers the topic at once; see isOffered().
    LinkTopic(Handler handler, QObject* parent = nullptr);
    ~LinkTopic() override; // withdraws the topic

    bool isOffered() const { return m_offered; }

public Q_SLOTS:
    Q_SCRIPTABLE void Execute(const QString& command);

private:
    Handler m_handler;
    bool m_objectRegistered = false;
    bool m_offered = false;
};

} // namespace kest
