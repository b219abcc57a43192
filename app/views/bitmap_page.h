// The instrument screen bitmap page: fetches the instrument's screen in
// chunks into a transfer file and shows it; opens, saves (BMP or PNG),
// renames, copies and prints the picture.
#pragma once

#include "../print/print_page.h"
#include "bmp_file.h"
#include "view_page.h"

#include <QFont>
#include <QFrame>
#include <QImage>
#include <vector>

class QLabel;
class QRadioButton;

// The picture frame: the picture stretched over it as the instrument's
// screen has always been shown, fitted with its proportions kept, or at one
// screen pixel per picture pixel (dragged to pan when larger than the frame).
class CBitmapFrame : public QFrame {
    Q_OBJECT
public:
    enum class Mode { Stretch, Fit, Actual };
    explicit CBitmapFrame(QWidget *parent);
    void setImage(const QImage *image);
    void setMode(Mode mode);
    Mode mode() const { return m_mode; }
    // Where the picture lands in the frame now (empty without one).
    QRect pictureRect() const;

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QPoint ClampedPan(QPoint pan) const;
    const QImage *m_image = nullptr;
    Mode m_mode = Mode::Stretch;
    QPoint m_pan;
    QPoint m_dragFrom;
    bool m_dragging = false;
};

class CWaveUIBmpDlg : public CViewPage, public CPrintablePage {
    Q_OBJECT
public:
    explicit CWaveUIBmpDlg(QWidget *parent);

    void RefreshBitmap();
    // False when the file could not be read; the picture then stays. With
    // setTitle (a file the user chose) the title becomes the path, or the
    // user is told why the file cannot be shown.
    bool LoadBitmapFile(const QString &path, bool setTitle);
    void OpenBitmapFile();
    void SaveBitmapFile();
    void RenameBitmap();
    void CopyBitmap();
    void PrintBitmap();
    int DrawBitmapPage(PrintSurface &surface, const PrintRequest &request);
    int OnPrintDraw(PrintSurface &surface, PrintRequest &request) override { return DrawBitmapPage(surface, request); }
    void EnableRename(bool enable);

    // The name the save dialog proposes for a title.
    static QString DefaultFileName(const QString &title);
    // Where a refresh collects the chunks: the initial folder's myTempBmp.bmp.
    static QString TransferFilePath();

    bool hasPicture() const { return !m_pBits.empty(); }
    const QImage &image() const { return m_image; }
    const std::vector<uint8_t> &bits() const { return m_pBits; }
    const bmp::InfoHeader &infoHeader() const { return m_bmiHeader; }
    QString title() const { return m_strTitle; }
    CBitmapFrame *frame() const { return m_frame; }

private:
    void ShowTitle();
    void EnableOutputButtons();
    void TellUnreadable(const QString &path, const QString &why);
    bool WriteBmp(const QString &path);
    void RefreshFailed();

    std::vector<uint8_t> m_pBits;
    int32_t m_nBitsSize = 0;
    bmp::FileHeader m_bmfHeader;
    bmp::InfoHeader m_bmiHeader;
    QFont m_fontTitle;
    CBitmapFrame *m_frame;
    QLabel *m_heading;
    QLabel *m_title;
    QString m_strTitle;
    // The picture top row first, for the screen, the clipboard and the printout.
    QImage m_image;
};
