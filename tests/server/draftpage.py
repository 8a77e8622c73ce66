#!/usr/bin/python3
"""The phone page in a real browser: a tavern drafted, the sign and the price locked, the patrons
re-rolled three times with ↻, then « Garder »: one tavern stored, nothing else."""

import json, os, socket, sqlite3, subprocess, sys, tempfile, time, urllib.request
import websocket  # Debian's python3-websocket

CLI = os.environ["OV_CLI"]


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Page:
    def __init__(self, folder):
        self.browser = subprocess.Popen(
            ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--remote-debugging-port=0",
             "--user-data-dir=" + folder, "--window-size=390,844", "about:blank"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        active = os.path.join(folder, "DevToolsActivePort")
        for _ in range(200):
            if os.path.exists(active) and open(active).read().count("\n") >= 1:
                break
            time.sleep(0.1)
        port = open(active).read().split("\n")[0]
        targets = json.load(urllib.request.urlopen(f"http://127.0.0.1:{port}/json", timeout=10))
        page = next(t for t in targets if t["type"] == "page")
        self.ws = websocket.create_connection(page["webSocketDebuggerUrl"], timeout=20)
        self.serial = 0

    def send(self, method, **params):
        self.serial += 1
        self.ws.send(json.dumps({"id": self.serial, "method": method, "params": params}))
        while True:
            answer = json.loads(self.ws.recv())
            if answer.get("id") == self.serial:
                if "error" in answer:
                    raise RuntimeError(answer["error"])
                return answer.get("result", {})

    def eval(self, expression):
        result = self.send("Runtime.evaluate", expression=expression, awaitPromise=True,
                           returnByValue=True)
        return result["result"].get("value")

    def wait(self, expression, what):
        for _ in range(100):
            if self.eval(expression):
                return
            time.sleep(0.1)
        raise AssertionError("jamais vu : " + what)

    def click(self, selector):
        """A person's click: the mouse pressed and released over the element's middle."""
        box = self.eval(f"(() => {{ const e = document.querySelector({json.dumps(selector)});"
                        " e.scrollIntoView({block: 'center'}); const r = e.getBoundingClientRect();"
                        " return [r.x + r.width / 2, r.y + r.height / 2]; })()")
        for kind in ("mousePressed", "mouseReleased"):
            self.send("Input.dispatchMouseEvent", type=kind, x=box[0], y=box[1], button="left",
                      clickCount=1)

    def close(self):
        self.ws.close()
        self.browser.terminate()
        self.browser.wait(10)


def lines(page):
    return page.eval("Array.from(document.querySelectorAll('#resultat-lignes li span'),"
                     " s => s.textContent)")


def main():
    folder = tempfile.mkdtemp()
    env = dict(os.environ, HOME=folder, XDG_CONFIG_HOME=folder + "/cfg", XDG_DATA_HOME=folder + "/data")
    base = os.path.join(folder, "b.db")
    subprocess.run([CLI, "init", "--database", base], env=env, check=True, stdout=subprocess.DEVNULL)
    server = subprocess.Popen([CLI, "serve", "--database", base, "--port", str(free_port())],
                              env=env, stdout=subprocess.PIPE, text=True)
    page = None
    try:
        address = server.stdout.readline().split(" : ", 1)[1].strip()
        page = Page(os.path.join(folder, "chromium"))
        page.send("Page.navigate", url=address)
        page.wait("document.querySelectorAll('#generateurs button').length > 4", "les générateurs")
        page.click("#brouillon")
        page.click("#generateurs button:nth-child(%d)" % (1 + page.eval(
            "Array.from(document.querySelectorAll('#generateurs button')).findIndex("
            "b => b.textContent === 'Taverne')")))
        page.wait("document.querySelectorAll('#resultat-lignes li').length === 6", "le brouillon")
        page.click("#resultat-lignes li:nth-child(2) button[aria-label^='Verrouiller']")
        page.wait("document.querySelector('#resultat-lignes li:nth-child(2)').classList.contains('verrouillee')", "le verrou")
        page.click("#resultat-lignes li:nth-child(4) button[aria-label^='Verrouiller']")
        page.wait("document.querySelector('#resultat-lignes li:nth-child(4)').classList.contains('verrouillee')", "le verrou")
        first = lines(page)
        patrons = {first[4]}
        for _ in range(3):
            page.eval("document.getElementById('etat').textContent = ''")
            page.click("#resultat-lignes li:nth-child(5) button[aria-label^='Relancer']")
            page.wait("document.getElementById('etat').textContent.startsWith('Brouillon')", "la relance")
            now = lines(page)
            assert now[:4] == first[:4] and now[5] == first[5], now
            patrons.add(now[4])
        assert len(patrons) > 1, patrons
        chosen = lines(page)
        token = page.eval("draft.token")
        with sqlite3.connect(base) as db:
            assert db.execute("SELECT count(*) FROM OVresultat").fetchone()[0] == 0
        page.click("#garder")
        page.wait("document.getElementById('etat').textContent.startsWith('Gardé')", "« Gardé »")
        with sqlite3.connect(base) as db:
            stored = db.execute("SELECT Generateur, Id, Texte FROM OVresultat").fetchall()
            others = sum(db.execute(f"SELECT count(*) FROM {t}").fetchone()[0]
                         for t in ("OVperso", "OVtresor", "OVrencontre", "OVvillage"))
        assert stored == [("taverne", 0, "\r\n".join(chosen) + "\r\n")], stored
        assert others == 0
        assert page.eval("document.getElementById('brouillon-actions').hidden")
        again = "fetch('/api/draft/%s/%s', {method: 'POST', credentials: 'same-origin'}).then(r => r.status)"
        assert page.eval(again % (token, "keep")) == 410
        assert page.eval(again % (token, "reroll/4")) == 410
        assert page.eval(again % ("inconnu", "keep")) == 404
        print("1 passed, 0 failed")
    finally:
        if page:
            page.close()
        server.terminate()
        server.wait(10)


if __name__ == "__main__":
    main()
