"""The real vantor under Xvfb, read by an assistive-technology client.

Every push button and check box of the operation pane, the wave graph page
and the wave data page is found by its own name through AT-SPI, in English
and in Chinese; the lamps give their state. With the virtual instrument, the
virtual front panel too: its keys, knobs and lamps by name, and a key pressed
through AT-SPI lights its lamp.

Run inside a D-Bus session: dbus-run-session -- python3 atspi_names.py VANTOR [VANTOR-SIM]
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time


def wait_for(predicate, timeout=30):
    end = time.time() + timeout
    while time.time() < end:
        found = predicate()
        if found:
            return found
        time.sleep(0.3)
    return None


import pyatspi
from gi.repository import Atspi, GLib

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

# The virtual front panel: the tool-bar buttons that open it, its title, the
# names of its keys (check boxes, checked while lit, when they carry a lamp),
# knobs and commands, and the key pressed to light its lamp (CH3 is off at
# power-on).
PANEL = {
    "EN": {"connect": "Connect", "panel": "Panel", "disconnect": "Disc", "title": "Virtual Pane",
           "close": "Close", "key": "CH3", "bound": "bound",
           "names": ["RUN/STOP", "SINGLE", "AUTO", "CH1", "CH2", "CH3", "CH4", "MATH", "REF", "CURSOR",
                     "MB_1", "MB_5", "DEF/SET", "SET 50%", "FORCE", "T_MENU", "H_MENU", "TRIG'D",
                     "Push the S/div knob", "Push the CH4 V/div knob", "Knob Done", "Refresh", "Close",
                     "CH1 VOLTS/DIV", "CH4 POSITION", "SEC/DIV", "HORIZONTAL POSITION", "LEVEL", "UNIVERSAL"]},
    "ZH": {"connect": "连接", "panel": "面板", "disconnect": "断开", "title": "虚拟面板", "close": "关闭",
           "key": "通道3", "bound": "已绑定",
           "names": ["运行/停止", "单次", "通道1", "通道3", "数学", "光标", "已触发", "旋钮完成", "刷新", "关闭",
                     "CH1 伏/格", "秒/格", "电平", "通用旋钮"]},
}
PANEL_ROLES = ROLES | {pyatspi.ROLE_SPIN_BUTTON}


SKIPPED = {pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_LIST}  # their cells are many


def walk(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    if node.getRole() in SKIPPED:
        return
    for i in range(node.childCount):
        yield from walk(node.getChildAtIndex(i), depth + 1)


def find_app(name, timeout=90):  # a loaded machine starts the program slowly
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


def press(app, name, roles=(pyatspi.ROLE_PUSH_BUTTON,)):
    for node in walk(app):
        if node.getRole() in roles and node.name == name:
            node.queryAction().doAction(0)
            return
    raise SystemExit(f"no button {name!r}")


def press_opening(app, name):
    """Presses a tool button that opens a modal window: its answer only comes
    when the window closes, so do not wait for it."""
    Atspi.set_timeout(1000, -1)
    try:
        press(app, name)
    except GLib.GError:
        pass
    finally:
        Atspi.set_timeout(-1, -1)


def dialog_named(app, title):
    for i in range(app.childCount):
        window = app.getChildAtIndex(i)
        if window is not None and window.name == title:
            return window
    return None


def bound(app):
    return next((n.description for n in walk(app) if n.name == "Bind lamp"), None)


def lit(node):
    return node.getState().contains(pyatspi.STATE_CHECKED)


def check_panel(app, language, sim, socket):
    """Connects to the virtual instrument, opens the panel, reads it, presses
    a key through AT-SPI and closes it all again."""
    texts = PANEL[language]
    failures = []
    instrument = subprocess.Popen([sim, "--usb-socket", socket, "--quiet"], stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
    try:
        wait_for(lambda: os.path.exists(socket))
        time.sleep(1)  # the program notices the device's arrival
        press(app, texts["connect"])
        if not wait_for(lambda: bound(app) == texts["bound"]):
            return [f"{language}: the virtual instrument did not bind"]
        press_opening(app, texts["panel"])
        panel = wait_for(lambda: dialog_named(app, texts["title"]))
        if panel is None:
            return [f"{language}: no window {texts['title']!r}"]
        nodes = [n for n in walk(panel) if n.getRole() in PANEL_ROLES]
        names = [n.name for n in nodes]
        for name in texts["names"]:
            if names.count(name) != 1:
                failures.append(f"{language}/panel: {name!r} found {names.count(name)} times in {names}")
        unnamed = [n.getRoleName() for n in nodes if not n.name]
        if unnamed:
            failures.append(f"{language}/panel: controls without a name: {unnamed}")
        key = next((n for n in nodes if n.name == texts["key"]), None)
        if key is not None:
            if key.getRole() != pyatspi.ROLE_CHECK_BOX or lit(key):
                failures.append(f"{language}/panel: {texts['key']!r} is not a dark lamp key: {key.getRoleName()}")
            key.queryAction().doAction(0)
            if not wait_for(lambda: lit(key)):
                failures.append(f"{language}/panel: {texts['key']!r} did not light after its key")
        press(panel, texts["close"])
        wait_for(lambda: dialog_named(app, texts["title"]) is None)
        press(app, texts["disconnect"])
        wait_for(lambda: bound(app) != texts["bound"])
    finally:
        instrument.terminate()
        instrument.wait(10)
    return failures


def run(vantor, sim, language, display):
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
               XDG_DATA_HOME=os.path.join(work, "data"),
               FERRULE_SIM_SOCKET=os.path.join(work, "usb.sock"))  # no instrument until the panel's check
    env.pop("QT_QPA_PLATFORM", None)
    log = open(os.path.join(work, "vantor.log"), "w+", encoding="utf-8", errors="replace")
    proc = subprocess.Popen([os.path.join(program, os.path.basename(vantor))], env=env,
                            stdout=log, stderr=subprocess.STDOUT)
    failures = []
    try:
        try:
            app = find_app("Vantor")
        except SystemExit as e:
            log.seek(0)
            return [f"{language}: {e} (program {'running' if proc.poll() is None else f'ended {proc.returncode}'}):"
                    f" {log.read()[-2000:]}"]
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
        if sim:
            failures += check_panel(app, language, sim, env["FERRULE_SIM_SOCKET"])
    finally:
        proc.terminate()
        proc.wait(10)
        log.close()
        shutil.rmtree(work, ignore_errors=True)
    return failures


def start_xvfb():
    """Xvfb on a display no other server holds, once it takes clients; no reset when
    the last client leaves, during which a starting program would find no server."""
    ready_r, ready_w = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(ready_w), "-noreset", "-screen", "0", "1366x768x24"],
                            pass_fds=(ready_w,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(ready_w)
    with os.fdopen(ready_r) as ready:
        number = ready.readline().strip()
    if not number:
        raise SystemExit("Xvfb did not start")
    return xvfb, ":" + number


def start_accessibility_bus(folder, timeout=60):
    """The accessibility bus, its socket in this run's own runtime folder: under the
    user's shared one, a bus of another run beside this one would take its place."""
    bus = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    sockets = os.path.join(folder, "at-spi")
    end = time.time() + timeout
    while not (os.path.isdir(sockets) and os.listdir(sockets)):
        if time.time() > end or bus.poll() is not None:
            raise SystemExit("the accessibility bus did not start")
        time.sleep(0.1)
    return bus


def main():
    vantor = os.path.abspath(sys.argv[1])
    sim = os.path.abspath(sys.argv[2]) if len(sys.argv) > 2 else None
    private = tempfile.mkdtemp(prefix="vantor-atspi-bus-")
    os.environ.update(HOME=private, XDG_RUNTIME_DIR=private)
    xvfb, display = start_xvfb()
    os.environ["DISPLAY"] = display
    bus = None
    try:
        bus = start_accessibility_bus(private)
        failures = run(vantor, sim, "EN", display) + run(vantor, sim, "ZH", display)
    finally:
        if bus is not None:
            bus.terminate()
            bus.wait(10)
        xvfb.terminate()
        shutil.rmtree(private, ignore_errors=True)
    for f in failures:
        print("FAIL:", f)
    print("ok" if not failures else f"{len(failures)} failures")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
