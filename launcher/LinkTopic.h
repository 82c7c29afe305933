#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace kest {

// The main window's link topic "PlenwickDDE", offered to other programs on
// the session bus: service kServiceName, object kObjectPath, interface
// kInterfaceName, method Execute(s). An execute hands its text on to the
// window (any text; it is not checked) and returns once the window has acted.
//
//   gdbus call --session --dest org.kest.Client --object-path /PlenwickDDE
//       --method org.kest.PlenwickDDE.Execute 'http://host/game/name'
//
// When another program holds the service name (a second kest, say), the
// topic is not offered, the event log says so, and nothing else changes.
class LinkTopic final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kest.PlenwickDDE")
    Q_DISABLE_COPY_MOVE(LinkTopic)

public:
    static constexpr const char* kServiceName = "org.kest.Client";
    static constexpr const char* kObjectPath = "/PlenwickDDE";
    static constexpr const char* kInterfaceName = "org.kest.PlenwickDDE";

    using Handler = std::function<void(const QString& command)>;

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
