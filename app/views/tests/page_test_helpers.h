// What the view pages' tests share: answering the channel dialog, whole
// files in and out, and the state a refused file must leave alone.
#pragma once

#include "platform/globals.h"
#include "shell/panes.h"
#include "views/page_dialogs.h"
#include "views/page_tables.h"
#include "views/view_pages.h"

#include <QFile>
#include <QRadioButton>
#include <QtTest>
#include <functional>
#include <qcustomplot.h>
#include <tuple>
#include <vector>

namespace apptest {

// Answers the select-channel dialog with a column (1..7).
inline std::function<int(QDialog *)> ChooseColumn(int column)
{
    return [column](QDialog *d) {
        auto *dialog = static_cast<CSelectChanDlg *>(d);
        if (!dialog->radio(column - 1)->isEnabled())
            return int(QDialog::Rejected);
        dialog->radio(column - 1)->click();
        return dialog->OnOK() ? int(QDialog::Accepted) : int(QDialog::Rejected);
    };
}

inline QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void WriteAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Everything a refused file must leave alone.
struct PageSnapshot {
    std::vector<std::tuple<int, int, int, int>> slotStates;
    QStringList cells;
    std::vector<int> plotSizes;
    QStringList params, measures;
    QByteArray fileWave;
    int measureHasData = 0;

    static PageSnapshot Take(CRightWnd *right)
    {
        PageSnapshot s;
        for (int c = 1; c <= 7; ++c) {
            const ChannelSlot &slot = g_ChannelSlots[c];
            s.slotStates.emplace_back(slot.bHasWave, slot.bHasData, slot.bMeasured, slot.nCount);
            s.plotSizes.push_back(right->graphPage()->plot(c)->data()->size());
            for (int row : {0, 1, 299, 23999})
                s.cells << right->dataPage()->table()->text(row, c);
            for (int row = 0; row < 5; ++row)
                s.params << right->graphPage()->params()->text(row, c);
        }
        for (int c = 0; c <= 8; ++c)
            for (int row = 0; row < 32; ++row)
                s.measures << right->measurePage()->table()->text(row, c);
        s.fileWave = QByteArray(reinterpret_cast<const char *>(g_FileWave), kRecordBytes);
        s.measureHasData = g_bMeasureHasData;
        return s;
    }
    bool operator==(const PageSnapshot &) const = default;
};

}  // namespace apptest
