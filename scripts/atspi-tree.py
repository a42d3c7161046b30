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
want = set(sys.argv[1:])
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
walk(app)
