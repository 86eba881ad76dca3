#!/usr/bin/env python3
"""Works the Kolvex window through AT-SPI as a screen reader, a switch device or
voice control does: every control is found by its role and accessible name and
operated by its first action (press or toggle), which changes its state without
a click. For a sample of each kind of control on the screens, the action must do
what a click does. Exits 0 when every check holds, 1 when one fails, 3 when the
window never appears on the accessibility bus."""
import subprocess
import sys
import time

import pyatspi

failures = []


def check(condition, what):
    print(('ok   ' if condition else 'FAIL ') + what, flush=True)
    if not condition:
        failures.append(what)


def find_app():
    for app in pyatspi.Registry.getDesktop(0):
        if app and 'olvex' in (app.name or ''):
            return app
    return None


def walk(node, depth=0, out=None):
    out = [] if out is None else out
    try:
        out.append(node)
        if depth < 30:
            for child in node:
                if child is not None:
                    walk(child, depth + 1, out)
    except Exception:
        pass
    return out


def showing(node):
    try:
        return node.getState().contains(pyatspi.STATE_SHOWING)
    except Exception:
        return False


def controls(app, role=None, name=None, only_showing=True):
    found = []
    for node in walk(app):
        try:
            if (role is None or node.getRoleName() == role) and (name is None or (node.name or '').strip() == name) \
                    and (showing(node) or not only_showing):
                found.append(node)
        except Exception:
            pass
    return found


def control(app, role, name, timeout=10.0):
    """The showing control of that role and name, waited for while a screen opens."""
    end = time.time() + timeout
    while time.time() < end:
        found = controls(app, role, name)
        if found:
            return found[-1]
        time.sleep(0.3)
    raise LookupError(f'no {role} named {name!r} is showing')


def act(node):
    node.queryAction().doAction(0)
    time.sleep(0.6)


def checked(node):
    return node.getState().contains(pyatspi.STATE_CHECKED)


def text(node):
    return node.queryText().getText(0, -1)


def press(app, name, role='push button'):
    act(control(app, role, name))


def open_screen(app, entry, page=1):
    press(app, 'Menu')
    if page == 2:
        press(app, '>>')
    press(app, entry)


def close_screen(app):
    press(app, 'Close')


def number(node):
    return float(text(node).replace(',', '.'))


def molecules(app):
    # "Select All" first: the boxes of the molecule list follow it.
    open_screen_mols = control(app, 'push button', 'Mols')
    act(open_screen_mols)
    select_all = control(app, 'check box', 'Select All')
    # Every row of the list, also those scrolled out of sight.
    rows = lambda: [n for n in controls(app, 'check box', only_showing=False)
                    if n.name not in ('Select All', 'T', 'IF', 'Live', '')]
    if not checked(select_all):
        act(select_all)
    unticked = lambda: [n.name for n in rows() if not checked(n)]
    check(checked(select_all) and not unticked(), f'Select All ticked: every molecule is selected (not: {unticked()})')
    check(len(rows()) >= 40, f'the molecule list shows its rows ({len(rows())})')
    act(select_all)
    check(not checked(select_all), 'Select All toggled: the box is unticked')
    check(not any(checked(n) for n in rows()), 'Select All toggled: no molecule is selected')
    act(select_all)
    check(not unticked(), f'Select All toggled again: every molecule is selected (not: {unticked()})')
    co2 = control(app, 'check box', 'CO2')
    act(co2)
    check(not checked(co2) and not checked(select_all), 'a molecule toggled off: Select All is unticked')
    act(co2)
    check(checked(co2) and checked(select_all), 'the molecule toggled on again: Select All is ticked')
    close_screen(app)


def units(app):
    open_screen(app, 'Wavelengths')
    press(app, 'Wavelength, µm', 'radio button')
    start, end = number(control(app, 'text', 'Start')), number(control(app, 'text', 'End'))
    check(checked(control(app, 'radio button', 'Wavelength, µm')), 'the micron unit is checked')
    press(app, 'Wavenumber, cm⁻¹', 'radio button')
    check(checked(control(app, 'radio button', 'Wavenumber, cm⁻¹'))
          and not checked(control(app, 'radio button', 'Wavelength, µm')), 'the cm-1 unit is checked alone')
    start_cm, end_cm = number(control(app, 'text', 'Start')), number(control(app, 'text', 'End'))
    # The same range: a wavenumber in cm-1 is 1e4 over the wavelength in micron
    # (both shown to 6 significant digits).
    same = sorted([1e4 / start, 1e4 / end])
    shown = sorted([start_cm, end_cm])
    check(all(abs(a - b) <= 1e-4 * b for a, b in zip(same, shown)),
          f'Start and End in cm-1 after the unit press ({start}, {end} micron -> {start_cm}, {end_cm})')
    close_screen(app)


def toggled_setting(app, entry, page, role_name, name):
    """A check box or switch toggled on one visit is still toggled on the next: stored, not only drawn."""
    open_screen(app, entry, page)
    box = control(app, role_name, name)
    before = checked(box)
    act(box)
    check(checked(box) != before, f'{name} toggled')
    close_screen(app)
    open_screen(app, entry, page)
    box = control(app, role_name, name)
    check(checked(box) != before, f'{name} is stored as toggled')
    act(box)
    check(checked(box) == before, f'{name} toggled back')
    close_screen(app)


def drop_down(app):
    """A drop-down list stepped with the increase and decrease actions (a screen
    reader's arrow keys) stores the choice it shows."""
    def shown():
        act(control(app, 'push button', 'Mols'))
        combo = control(app, 'combo box', 'Molecules calculated')
        return combo, text(list(combo)[0])
    combo, before = shown()
    actions = combo.queryAction()
    names = [actions.getName(i) for i in range(actions.nActions)]
    step = names.index('Increase') if before == 'Calculate for all' else names.index('Decrease')
    actions.doAction(step)
    time.sleep(0.6)
    close_screen(app)
    combo, after = shown()
    check(after != before, f'the drop-down choice is stored ({before!r} -> {after!r})')
    actions = combo.queryAction()
    actions.doAction(names.index('Decrease') if step == names.index('Increase') else names.index('Increase'))
    time.sleep(0.6)
    close_screen(app)
    check(shown()[1] == before, 'the drop-down choice is stepped back')
    close_screen(app)


def live_switch(app):
    """The Live switch of the main form shows the live sliders when toggled on."""
    live = control(app, 'check box', 'Live')
    before = checked(live)
    act(live)
    sliders = controls(app, 'slider')
    check(checked(live) != before and bool(sliders) != before, f'Live toggled: {len(sliders)} live sliders show')
    act(live)
    check(checked(live) == before, 'Live toggled back')


def role_of(app, entry, page, name):
    open_screen(app, entry, page)
    found = [n for n in controls(app, None, name)]
    role = found[-1].getRoleName() if found else 'check box'
    close_screen(app)
    return role


def refusal(app):
    open_screen(app, 'Pathlength')
    field = control(app, 'text', 'Pathlength')
    field.queryComponent().grabFocus()
    time.sleep(0.3)
    window = subprocess.run(['xdotool', 'search', '--name', '^Kolvex'], capture_output=True, text=True).stdout.split()
    if window:
        subprocess.run(['xdotool', 'windowfocus', '--sync', window[0]])
    subprocess.run(['xdotool', 'key', 'ctrl+a'])
    subprocess.run(['xdotool', 'type', '--delay', '60', '--', '-3'])
    subprocess.run(['xdotool', 'key', 'Return'])
    time.sleep(0.8)
    field = control(app, 'text', 'Pathlength')
    check('path length' in (field.description or ''),
          f'the refusal is the field\'s description ({field.description!r})')
    close_screen(app)
    close_screen(app)   # the second close leaves the refused value unapplied


def main():
    app = None
    for _ in range(120):
        app = find_app()
        if app and len(walk(app)) > 5:
            break
        app = None
        time.sleep(0.5)
    if not app:
        desktop = pyatspi.Registry.getDesktop(0)
        print('the window did not appear on the accessibility bus; on it:',
              [(a.name, a.childCount) for a in desktop if a])
        return 3
    try:
        molecules(app)
        units(app)
        drop_down(app)
        live_switch(app)
        toggled_setting(app, 'Line options', 2, 'check box', 'Use line shift')
        toggled_setting(app, 'Vertical axis', 1, 'check box', 'Enable rulers on zoom')
        toggled_setting(app, 'Connect', 2, role_of(app, 'Connect', 2, 'Broadcast manual input'),
                        'Broadcast manual input')
        refusal(app)
    except LookupError as error:
        check(False, str(error))
    print(f'{len(failures)} failed' if failures else 'all checks hold')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
