#pragma once

#include <QObject>
#include <QPointer>

#include <vector>

namespace kest {

// The count of loaded forms. The process ends when no form is left loaded;
// not when the last visible window closes (Qt's own rule), because the main
// window may be loaded and only hidden. Call setQuitOnLastWindowClosed(false)
// once at start-up; formLoaded / formUnloaded from each form's load and unload.
class LoadedForms final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LoadedForms)

public:
    static LoadedForms& instance();

    void formLoaded(QObject* form);
    void formUnloaded(QObject* form);
    bool isLoaded(const QObject* form) const;
    int count() const;

signals:
    // The last loaded form was unloaded; the application quits after this.
    void noFormLeft();

private:
    LoadedForms() = default;
    std::vector<QPointer<QObject>> m_forms;
};

} // namespace kest
