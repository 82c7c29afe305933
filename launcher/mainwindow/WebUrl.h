#pragma once

#include "tabstrip/ITabForm.h"

#include <QPointer>
#include <QWidget>

class QWebEngineView;

namespace kest {

class CTabItem;
class IuTab;

// The page window that lives in one tab of the main window: a page area
// (Picture1) filling the window and, inside it, the browser (wb) placed two
// pixels beyond each edge so that no border of its own shows. The tab's
// caption follows the page title; the page never shows scroll bars or a
// context menu. Starts on "about:blank".
class WebUrl final : public QWidget, public ITabForm {
    Q_OBJECT

public:
    explicit WebUrl(QWidget* parent = nullptr);
    ~WebUrl() override;
    Q_DISABLE_COPY_MOVE(WebUrl)

    // ITabForm
    QWidget* hWnd() const override { return const_cast<WebUrl*>(this); }
    void Initialize(IuTab* implement, CTabItem* item) override;
    void RefreshPage() override;

    // Navigates to an absolute address. False, and the page left as it is,
    // when szURL is no valid absolute address.
    bool OpenURL(const QString& szURL);

    // The strip and tab given by Initialize; nullptr once they are gone.
    IuTab* strip() const { return m_stripControl ? m_strip : nullptr; }
    CTabItem* item() const;

    QWidget* pageArea() const { return m_picture; }
    QWebEngineView* browser() const { return m_wb; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PlaceBrowser();
    void hideOverflow();

    QWidget* m_picture; // Picture1
    QWebEngineView* m_wb;
    IuTab* m_strip = nullptr;
    QPointer<QWidget> m_stripControl; // guards m_strip
    QPointer<CTabItem> m_item;
};

} // namespace kest
