// The pages of orvanthe-cli serve in Debian's chromium at a phone's size (390×844): the game
// master's page runs « Perso », shows its lines, finds it in the history without accents, draws a
// table whose element holds a script (shown as text); a players' page beside it receives what
// « Montrer aux joueurs » sends, without the unticked lines, within a second.
// With OV_SCREENSHOTS=folder it also leaves the pictures of the README there.
import { spawn, execFileSync } from "node:child_process";
import { mkdtempSync, writeFileSync, rmSync } from "node:fs";
import { createServer } from "node:net";
import { tmpdir } from "node:os";
import { join } from "node:path";
import puppeteer from "puppeteer-core";

const cli = process.env.OV_CLI;
const shots = process.env.OV_SCREENSHOTS || "";
const work = mkdtempSync(join(tmpdir(), "ov-web-"));
const env = { ...process.env, HOME: work, XDG_CONFIG_HOME: join(work, "config"),
              XDG_DATA_HOME: join(work, "data"), LC_ALL: "C.UTF-8" };
let passed = 0;
let failed = 0;
function check(condition, what) {
  if (condition) { passed++; return; }
  failed++;
  console.log("ÉCHEC : " + what);
}

const freePort = () => new Promise((resolve) => {
  const probe = createServer();
  probe.listen(0, "127.0.0.1", () => { const { port } = probe.address(); probe.close(() => resolve(port)); });
});

const base = join(work, "campagne.db");
execFileSync(cli, ["init", "--database", base], { env });
writeFileSync(join(work, "piege.csv"), "Id,Nom,Element,Proba\npieg,Piège,<img src=x onerror=alert(1)><script>alert(2)</script>,1\n");
execFileSync(cli, ["tables", "import", join(work, "piege.csv"), "--database", base], { env });

const port = await freePort();
const server = spawn(cli, ["serve", "--database", base, "--port", String(port)], { env });
const addresses = await new Promise((resolve, reject) => {
  let out = "";
  server.stdout.on("data", (chunk) => {
    out += chunk;
    const gm = /Meneur : (\S+)/.exec(out);
    const players = /Joueurs : (\S+)/.exec(out);
    if (gm && players) resolve({ gm: gm[1], players: players[1] });
  });
  server.on("exit", () => reject(new Error("serve s'est arrêté : " + out)));
  setTimeout(() => reject(new Error("serve ne répond pas")), 15000);
});

const browser = await puppeteer.launch({
  executablePath: "/usr/bin/chromium",
  headless: "new",
  userDataDir: join(work, "profil"),
  args: ["--no-sandbox", "--headless", "--disable-gpu", "--disable-background-networking",
         "--disable-component-update", "--disable-sync", "--no-first-run"],
});
const problems = [];
async function open(url, width, height, waitUntil = "networkidle0") {
  const page = await browser.newPage();
  await page.setViewport({ width, height });
  page.on("console", (message) => { if (message.type() === "error") problems.push(message.text()); });
  page.on("pageerror", (error) => problems.push(String(error)));
  page.on("dialog", async (dialog) => { problems.push("dialogue : " + dialog.message()); await dialog.dismiss(); });
  await page.goto(url, { waitUntil });
  return page;
}
const cardLines = (page) => page.$$eval("#resultat-lignes span", (spans) => spans.map((s) => s.textContent));
async function press(page, label) {
  const buttons = await page.$$("#generateurs button");
  for (const button of buttons)
    if ((await button.evaluate((b) => b.textContent)) === label) {
      await page.bringToFront();
      const [answer] = await Promise.all([
        page.waitForResponse((r) => r.url().includes("/api/generate/"), { timeout: 5000 }),
        button.click()]);
      const run = await answer.json();
      await page.waitForFunction((n) => document.querySelectorAll("#resultat-lignes span").length === n,
                                 { timeout: 5000 }, run.lines.length);
      return run;
    }
  throw new Error("pas de bouton " + label);
}

try {
  const gm = await open(addresses.gm, 390, 844);
  check(!gm.url().includes("code="), "l'adresse garde le code après la redirection");
  const perso = await press(gm, "Perso");
  check(JSON.stringify(await cardLines(gm)) === JSON.stringify(perso.lines), "la carte montre les lignes du texte");

  // A word of the text with an accent, searched without it.
  const accented = perso.lines.join(" ").split(/[^\p{L}]+/u).find((w) => w.length >= 5 && /[à-ÿ]/i.test(w));
  const plain = accented.normalize("NFD").replace(/[\u0300-\u036f]/g, "").toLowerCase();
  await gm.type("#mots", plain);
  const searched = gm.waitForResponse((r) => r.url().includes("/api/history?") && r.url().includes("q=" + plain));
  await gm.click("#recherche button");
  const entries = await (await searched).json();
  await gm.waitForFunction(() => document.querySelectorAll("#historique button").length > 0, { timeout: 5000 });
  check(entries.some((e) => e.kind === "perso" && e.n === perso.id), "la recherche « " + plain + " » trouve le texte");

  // An element that holds HTML is shown as it is written.
  await gm.select("#table", "pieg");
  await gm.click("#tirage button");
  await gm.waitForFunction(() => document.querySelector("#resultat-titre").textContent.includes("pieg"), { timeout: 5000 });
  check((await cardLines(gm))[0].startsWith("<img src=x"), "le tirage montre le texte de l'élément");
  check((await gm.$$("#resultat img, #resultat script")).length === 0, "aucun élément HTML venu de la table");

  if (shots) {
    await press(gm, "Village");
    await gm.screenshot({ path: join(shots, "telephone-clair.png") });
    await gm.emulateMediaFeatures([{ name: "prefers-color-scheme", value: "dark" }]);
    await gm.screenshot({ path: join(shots, "telephone-sombre.png") });
    await gm.emulateMediaFeatures([{ name: "prefers-color-scheme", value: "light" }]);
  }

  // The players' page beside it: a village shown without two of its lines.
  // Its stream stays open: the page is ready once the stream has answered.
  const players = await open(addresses.players, 390, 844, "domcontentloaded");
  await players.waitForFunction(() => document.querySelector("#liaison").dataset.ouvert === "oui", { timeout: 5000 });
  const village = await press(gm, "Village");
  const boxes = await gm.$$("#resultat-lignes input[type=checkbox]");
  await boxes[0].click();
  await boxes[2].click();
  const expected = village.lines.filter((_, i) => i !== 0 && i !== 2);
  const sent = Date.now();
  await gm.click("#montrer");
  await players.waitForFunction((n) => {
    const first = document.querySelector("#montre article");
    return first && first.querySelectorAll("li").length === n;
  }, { timeout: 1000, polling: 50 }, expected.length); // a page behind another gets no frames
  const delay = Date.now() - sent;
  const shown = await players.$eval("#montre article", (a) => Array.from(a.querySelectorAll("li"), (li) => li.textContent));
  check(JSON.stringify(shown) === JSON.stringify(expected), "les joueurs voient les lignes cochées seulement");
  check(!shown.includes(village.lines[2]), "la ligne décochée n'est pas montrée");
  check(delay <= 1000, "montré en " + delay + " ms");
  if (shots) { // the two pages side by side, put together on a blank page of the browser
    const left = await gm.screenshot({ encoding: "base64" });
    const right = await players.screenshot({ encoding: "base64" });
    const sheet = await browser.newPage();
    await sheet.setViewport({ width: 800, height: 844 });
    await sheet.setContent(`<body style="margin:0;display:flex;gap:20px;background:#888">
      <img src="data:image/png;base64,${left}"><img src="data:image/png;base64,${right}"></body>`);
    await sheet.screenshot({ path: join(shots, "meneur-et-joueurs.png") });
    await sheet.close();
  }
  check(problems.length === 0, "aucune erreur dans la console : " + problems.join(" | "));
} catch (error) {
  failed++;
  console.log("ÉCHEC : " + (error && error.stack ? error.stack : error));
} finally {
  await browser.close();
  // Ctrl+C stops the server cleanly, and soon.
  const stopped = new Promise((resolve) => server.on("exit", (code) => resolve(code)));
  server.kill("SIGINT");
  const code = await Promise.race([stopped, new Promise((resolve) => setTimeout(() => resolve("délai"), 5000))]);
  check(code === 0, "serve s'arrête sur Ctrl+C (" + code + ")");
  if (code !== 0) server.kill("SIGKILL");
  rmSync(work, { recursive: true, force: true });
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
