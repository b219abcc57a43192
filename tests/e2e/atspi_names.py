"""The real vantor under Xvfb, read by an assistive-technology client.

Every push button and check box of the operation pane, the wave graph page
and the wave data page is found by its own name through AT-SPI, in English
and in Chinese; the lamps give their state.

Run inside a D-Bus session: dbus-run-session -- python3 atspi_names.py VANTOR
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

import pyatspi

# Pages by the names they carry for assistive technology.
EXPECTED = {
    "EN": {
        "Base Oper": ["Wave Graph", "Wave Data", "Wave Measure", "DSO Bitmap", "Graph file",
                           "Data file", "Measure file", "Bitmap file", "Upload", "Download", "Open",
                           "Save", "Save As"],
        "Wave Graph": ["Save", "Open", "Copy", "Print", "Auto", "Manu", "Refresh", "GetAllData",
                              "Measure CH1", "Measure CH2", "Graph Show CH1", "Graph Show CH2",
                              "Chan 5", "Chan 6", "Chan 7"],
        "Wave Data": ["Copy", "Print", "Save as"],
        "Wave Measure": ["Save As", "Copy", "Print", "Pass|Fail", "Log"],
    },
    "ZH": {
        "基本操作": ["波形图像", "波形数据", "波形测量值", "上传", "下载", "打开", "保存", "另存为"],
        "波形图像": ["保存", "打开", "复制", "打印", "自动", "手动", "刷新", "测量 CH1", "曲线显示 CH1"],
        "波形数据": ["复制", "打印", "另存为"],
        "波形测量值": ["另存为", "复制", "打印", "合格/不合格", "记录"],
    },
}
ROLES = {pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX}


SKIPPED = {pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_LIST}  # their cells are many


def walk(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    if node.getRole() in SKIPPED:
        return
    for i in range(node.childCount):
        yield from walk(node.getChildAtIndex(i), depth + 1)


def find_app(name, timeout=60):  # the bus starts slowly on a loaded machine
    end = time.time() + timeout
    while time.time() < end:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name == name:
                return app
        time.sleep(0.3)
    raise SystemExit(f"no application {name!r} on the accessibility bus")


def names_under(app, page_name):
    """Names of the buttons and check boxes of the page of that name: of the
    nodes so named (a tab, a group box, the page), the one holding most."""
    best = None
    for node in walk(app):
        if node.getRole() not in ROLES and node.name == page_name:
            names = [n.name for n in walk(node) if n.getRole() in ROLES]
            if best is None or len(names) > len(best):
                best = names
    return best


def press(app, name):
    for node in walk(app):
        if node.getRole() == pyatspi.ROLE_PUSH_BUTTON and node.name == name:
            node.queryAction().doAction(0)
            return
    raise SystemExit(f"no button {name!r}")


def run(vantor, language, display):
    work = tempfile.mkdtemp(prefix="vantor-atspi-")
    # A program folder of its own (set.ini and logs beside the program), with
    # the build's libraries where the program's run path looks for them.
    build = os.path.dirname(os.path.dirname(vantor))
    program = os.path.join(work, "app")
    os.makedirs(program)
    shutil.copy2(vantor, program)
    shutil.copytree(os.path.join(os.path.dirname(vantor), "language"), os.path.join(program, "language"))
    for lib in ("link", "usb", "transports"):
        os.symlink(os.path.join(build, lib), os.path.join(work, lib))
    with open(os.path.join(program, "set.ini"), "w", encoding="utf-8") as f:
        f.write(f"[Set]\nProvide=Tressel\nLanguage={language}\n")
    env = dict(os.environ, DISPLAY=display, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1",
               HOME=work, XDG_CONFIG_HOME=os.path.join(work, "config"), XDG_RUNTIME_DIR=work,
               XDG_DATA_HOME=os.path.join(work, "data"), FERRULE_SIM_SOCKET=os.path.join(work, "none.sock"))
    env.pop("QT_QPA_PLATFORM", None)
    proc = subprocess.Popen([os.path.join(program, os.path.basename(vantor))], env=env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    failures = []
    try:
        app = find_app("Vantor")
        lamps = [n for n in walk(app) if n.name in ("Link lamp", "Bind lamp")]
        if len(lamps) != 2 or not all(n.description for n in lamps):
            failures.append(f"{language}: lamps without their state: {[(n.name, n.description) for n in lamps]}")
        pages = list(EXPECTED[language].items())
        base = pages[0][1]
        for page, wanted in pages:
            if page in base[:3]:  # the operation pane's Wave Graph / Data / Measure buttons show them
                press(app, page)
                time.sleep(1)
            names = names_under(app, page)
            if names is None:
                failures.append(f"{language}: no page named {page!r}")
                continue
            for name in wanted:
                if names.count(name) != 1:
                    failures.append(f"{language}/{page}: {name!r} found {names.count(name)} times in {names}")
    finally:
        proc.terminate()
        proc.wait(10)
        shutil.rmtree(work, ignore_errors=True)
    return failures


def main():
    vantor = os.path.abspath(sys.argv[1])
    display = ":%d" % (60 + os.getpid() % 30)
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1366x768x24"], stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    bus = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(1.5)
    try:
        failures = run(vantor, "EN", display) + run(vantor, "ZH", display)
    finally:
        bus.terminate()
        xvfb.terminate()
    for f in failures:
        print("FAIL:", f)
    print("ok" if not failures else f"{len(failures)} failures")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
