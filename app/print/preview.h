// The modal print preview: a tool bar over a scrolling view that shows one
// page of the document at a time on a paper-sized bitmap. The preview never
// draws content itself; every page, shown, printed or saved, is the page
// window's own drawing of the request.
#pragma once

#include "print_page.h"

#include "../platform/vantor_dialog.h"

#include <QAbstractScrollArea>
#include <QImage>
#include <map>

class QAction;
class QFrame;
class QListWidget;
class QToolBar;
class QToolButton;
class PrinterSurface;

// Draws pages from..to of a document on a printer surface; stops at the
// first page that fails. Returns the pages drawn.
int DrawDocumentPages(int message, PrintRequest request, PrinterSurface &surface, int from, int to);
// Every page of a document into one PDF file, through QSaveFile: a failure
// leaves the old file whole.
bool SaveDocumentPdf(int message, PrintRequest request, const QString &path);

// The view (dialog 202): the page bitmap with a half-inch margin on the
// background pattern, scroll bars, and the wheel.
class CPreView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit CPreView(QWidget *parent);

    void SetDocument(int message, const PrintRequest &request);
    void SetCurrentPage(int page);
    int currentPage() const { return m_nCurrentPage; }
    int totalPages() const { return m_nTotalPages; }
    // The page bitmap in screen pixels.
    QSize pageSize() const { return m_pageSize; }
    QPoint scrollOrigin() const;
    // The desktop's wheel setting, read at creation: 120 / lines of wheel
    // delta scroll one line; 0 lines (or more than 120) never scroll.
    void SetWheelScrollLines(int lines);
    int wheelStep() const { return m_nWheelStep; }
    // The bitmap of one page as the preview shows it.
    QImage RenderPage(int page);
    // The wheel rule: whole steps of the accumulated delta scroll one line.
    void OnWheel(int delta);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    void UpdateScrollRanges();

    int m_nMessage = 0;
    PrintRequest m_request;
    int m_nCurrentPage = 1;
    int m_nTotalPages = 1;
    QSize m_pageSize;
    int m_nWheelStep = 0;
    int m_nWheelRemainder = 0;
    QBrush m_background;
    QImage m_page;
    bool m_bDirty = true;
};

// The preview window (dialog 218), maximised, with its tool bar.
class CPreParent : public CVantorDialog {
    Q_OBJECT
public:
    explicit CPreParent(QWidget *owner);

    // The draw message and the request; the preview computes the page count.
    void SetRequest(int message, const PrintRequest &request);
    const PrintRequest &request() const { return m_request; }
    int currentPage() const { return m_nCurrentPage; }

    void OnFirstPage();
    void OnPreviousPage();
    void OnGotoPage();
    void OnNextPage();
    void OnLastPage();
    void OnClose();
    void OnPrint();
    void OnPrintAll();
    void OnSavePdf();

    QAction *action(int id) const;
    QToolButton *toolButton(int id) const;
    CPreView *view() const { return m_view; }
    QToolBar *toolBar() const { return m_toolBar; }

protected:
    void OnInitDialog() override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void AddCommand(int id, const QString &name, void (CPreParent::*handler)(), bool withText = false);
    void EnablePaging(bool first, bool previous, bool next, bool last);
    void ShowPage(int page);
    void PrintPages(int from, int to);

    int m_nMessage = 0;
    PrintRequest m_request;
    int m_nCurrentPage = 1;
    QToolBar *m_toolBar;
    QListWidget *m_wheelList;
    QFrame *m_separatorTop;
    QFrame *m_separatorBar;
    CPreView *m_view;
    std::map<int, QAction *> m_actions;
};
