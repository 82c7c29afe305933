#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>

class QDBusMessage;

namespace kest {

// One global shortcut from the desktop's global-shortcuts portal
// (org.freedesktop.portal.GlobalShortcuts on the session bus): the way a
// program gets a key in a Wayland session, where no client may grab keys on
// its own. The portal opens a session for the program, binds the shortcut
// (the desktop may ask the player first, and may give it another key than
// the one preferred) and then says when it is pressed.
//
// bind() runs the exchange: the portal's version property (no portal or no
// such interface: failed), CreateSession, BindShortcuts; each of the two
// calls answers later with a Response signal on its request object, code 0
// for success, 1 when the player declined, 2 when the desktop ended it.
// Then either bound() or failed() comes, once.
class GlobalShortcuts final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GlobalShortcuts)

public:
    enum class State { Idle, Binding, Bound, Failed };

    explicit GlobalShortcuts(const QDBusConnection& bus, QObject* parent = nullptr);
    // Closes the portal session: the desktop lets go of the shortcut.
    ~GlobalShortcuts() override;

    // Whether the desktop session is Wayland, where the portal is the way to
    // a global key (an X11 grab through XWayland sees keys only while an
    // XWayland window has focus).
    static bool isWaylandSession();

    // `trigger` in the desktop's own key notation ("F10", "CTRL+a");
    // `description` is what the desktop shows the player.
    void bind(const QString& id, const QString& description, const QString& trigger);

    State state() const { return m_state; }
    QString shortcutId() const { return m_id; }

signals:
    // `trigger`: the key as the desktop describes it (empty: it did not say).
    void bound(const QString& trigger);
    void failed(const QString& reason);
    void activated();

private slots:
    // Whole messages: the portal's signals are read argument by argument,
    // so that a malformed one is ignored rather than mismatched.
    void onResponse(const QDBusMessage& message);
    void onActivated(const QDBusMessage& message);

private:
    enum class Step { None, CreateSession, BindShortcuts };
    void checkVersion();
    void createSession();
    void bindShortcuts();
    // Sends a portal call whose answer comes as a Response on its request
    // object, named by `token`.
    void request(
        Step step, const QString& method, const QVariantList& arguments, const QString& token);
    void listenForResponse(const QString& path);
    void fail(const QString& reason);

    QDBusConnection m_bus;
    QString m_id;
    QString m_description;
    QString m_trigger;
    State m_state = State::Idle;
    Step m_step = Step::None;
    QString m_requestPath;
    QString m_session;
    QTimer m_deadline;
};

} // namespace kest
