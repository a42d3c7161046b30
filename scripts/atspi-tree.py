#!/usr/bin/python3
# Walks the AT-SPI tree of the running korvane window (see atspi-tree.sh).
import pyatspi, sys, time
desktop = pyatspi.Registry.getDesktop(0)
app = None
for _ in range(50):
    for a in desktop:
        if a and a.name and 'korvane' in a.name.lower():
            app = a
    if app: break
    time.sleep(0.2)
if not app:
    print("no app", [a.name for a in desktop if a]); sys.exit(1)
check = '--check' in sys.argv[1:]
want = set(a for a in sys.argv[1:] if a != '--check')
def walk(node, depth=0):
    try:
        role = node.getRoleName()
    except Exception:
        return
    if role in ('combo box','radio button','text','panel') or node.name in want:
        rels = []
        for r in node.getRelationSet():
            if r.getRelationType() == pyatspi.RELATION_LABELLED_BY:
                rels.append('labelled-by:' + ','.join(r.getTarget(i).name for i in range(r.getNTargets())))
        print('  '*depth + f'{role}: "{node.name}" {" ".join(rels)}')
    for c in node:
        walk(c, depth+1)
def focusable(node, found):
    # Every control a person can reach: focusable and shown (enabled or not).
    try:
        states = node.getState()
        if states.contains(pyatspi.STATE_FOCUSABLE) and states.contains(pyatspi.STATE_SHOWING):
            found.append(node)
        for c in node:
            focusable(c, found)
    except Exception:
        pass
    return found

def value(node):
    try:
        t = node.queryText()
        return t.getText(0, t.characterCount)
    except Exception:
        return None

if not check:
    walk(app)
    sys.exit(0)
# --check: each reachable control has a name, of its own, that is not its value.
problems, seen = [], {}
nodes = focusable(app, [])
for node in nodes:
    role, name = node.getRoleName(), node.name
    if not name.strip():
        problems.append(f'{role} without a name')
    elif value(node) not in (None, '') and value(node) == name:
        problems.append(f'{role} "{name}" named by its value')
    key = (role, name)
    if name.strip() and key in seen:
        problems.append(f'two of {role} "{name}"')
    seen[key] = True
# The port button is OPEN and CLOSE in one: its name must say which, and whether the port is open.
port = [n for n in nodes if n.getRoleName() == 'push button' and n.name.split(':')[0] in ('OPEN', 'CLOSE')]
if len(port) == 1 and ': the port is ' in port[0].name:
    print(f'port button: "{port[0].name}"')
else:
    problems.append('no OPEN/CLOSE button that says whether the port is open')
print(f'{len(nodes)} reachable controls over AT-SPI, {len(problems)} problem(s)')
for p in problems:
    print('  ' + p)
sys.exit(1 if problems or len(nodes) < 50 else 0)
