#include "command_line.h"

#include "../platform/control_ids.h"
#include "../platform/globals.h"
#include "../views/wave_graph_page.h"
#include "base_operation.h"
#include "main_frame.h"
#include "panes.h"
#include "vantor_app.h"

namespace {

struct View {
    const char *name;
    int button;
};

const View kViews[] = {
    {"graph", IDC_BASE_GOTO_GRAPH},
    {"data", IDC_BASE_GOTO_DATA},
    {"measure", IDC_BASE_GOTO_MEASURE},
    {"bitmap", IDC_BASE_GOTO_BITMAP},
};

}  // namespace

CommandLine ParseCommandLine(const QStringList &args)
{
    CommandLine options;
    auto fail = [&](const QString &text) {
        if (options.error.isEmpty())
            options.error = text;
    };
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            options.help = true;
        } else if (arg == QLatin1String("--version")) {
            options.version = true;
        } else if (arg == QLatin1String("--connect")) {
            options.connect = true;
        } else if (arg == QLatin1String("--auto")) {
            options.autoRefresh = true;
        } else if (arg == QLatin1String("--view") || arg.startsWith(QLatin1String("--view="))) {
            QString name;
            if (arg != QLatin1String("--view"))
                name = arg.mid(7);
            else if (i + 1 < args.size())
                name = args[++i];
            else
                fail(QStringLiteral("--view needs a page: graph, data, measure or bitmap"));
            bool known = false;
            for (const View &view : kViews)
                if (name == QLatin1String(view.name)) {
                    options.viewButton = view.button;
                    known = true;
                }
            if (!known && !name.isNull())
                fail(QStringLiteral("unknown page '%1' for --view (graph, data, measure or bitmap)").arg(name));
        } else {
            fail(QStringLiteral("unknown argument '%1'").arg(arg));
        }
    }
    if (options.autoRefresh && !options.connect)
        fail(QStringLiteral("--auto needs --connect"));
    if (options.autoRefresh && options.viewButton == 0)
        options.viewButton = IDC_BASE_GOTO_GRAPH;
    return options;
}

QString CommandLineHelp()
{
    return QStringLiteral("Usage: vantor [--connect] [--view graph|data|measure|bitmap] [--auto]\n"
                          "\n"
                          "The desktop companion of a digital storage oscilloscope.\n"
                          "\n"
                          "  --connect      connect at start, as the Connect button does, over the link the\n"
                          "                 program starts with: USB\n"
                          "  --view PAGE    show the wave graph, wave data, measurement or screen bitmap page\n"
                          "  --auto         start the wave graph's Auto refresh once connected (needs --connect;\n"
                          "                 shows the wave graph unless --view names another page)\n"
                          "  -h, --help     this text\n"
                          "  --version      the program's version\n"
                          "\n"
                          "With FERRULE_SIM_SOCKET=PATH the USB link is the virtual instrument's socket\n"
                          "(vantor-sim --usb-socket PATH). See vantor(1) for the files it reads and writes.\n");
}

QString VersionText() { return QStringLiteral("vantor " VANTOR_VERSION "\n"); }

void RunCommandLine(CVantorApp &app, const CommandLine &options)
{
    CMainFrame *frame = app.mainFrame();
    if (!frame)
        return;
    if (options.connect)
        frame->OnConnect();
    if (options.viewButton)
        frame->leftWnd()->page()->OnGotoView(options.viewButton);
    if (options.autoRefresh && g_bDsoBound)
        if (CViewWaveGraphDlg *graph = frame->rightWnd()->graphPage())
            graph->OnAuto();
}
