// The game master's page: generators, one draw, the history, and showing to the players.
// Every text from the server goes into the page as text (textContent), never as HTML.
"use strict";

const $ = (id) => document.getElementById(id);
let current = null; // what the card shows: {kind, n} of a stored record, or {text}
let draft = null; // the draft the card shows: {token, title}, or null

function status(text) { $("etat").textContent = text || ""; }

async function call(method, url, body) {
  const options = { method, credentials: "same-origin", headers: {} };
  if (body !== undefined) {
    options.headers["Content-Type"] = "application/json";
    options.body = JSON.stringify(body);
  }
  const response = await fetch(url, options);
  let data = null;
  try { data = await response.json(); } catch (e) { data = null; }
  if (!response.ok) {
    throw new Error(data && data.erreur ? data.erreur : "Erreur " + response.status);
  }
  return data;
}

function element(tag, text, className) {
  const node = document.createElement(tag);
  if (text !== undefined) node.textContent = text;
  if (className) node.className = className;
  return node;
}

// The card: a title, the lines with a tick box each (ticked: shown to the players), messages.
function showCard(title, lines, messages, what) {
  current = what;
  draft = null;
  $("brouillon-actions").hidden = true;
  $("resultat-titre").textContent = title;
  const list = $("resultat-lignes");
  list.replaceChildren();
  lines.forEach((line, i) => {
    const item = element("li");
    const label = element("label");
    const box = element("input");
    box.type = "checkbox";
    box.checked = true;
    box.dataset.index = String(i);
    box.setAttribute("aria-label", "Montrer la ligne " + (i + 1));
    label.append(box, element("span", line));
    item.append(label);
    list.append(item);
  });
  $("resultat-messages").textContent = (messages || []).join(" ");
  $("resultat").hidden = false;
}

function cardLines() {
  return Array.from($("resultat-lignes").querySelectorAll("span"), (s) => s.textContent);
}

// A draft: each line but the header has ↻ (re-roll) and a lock; « Garder » stores it.
function showDraft(title, data) {
  showCard(title + " (brouillon)", data.lines, data.messages, { text: data.lines.join("\n") });
  draft = { token: data.draft, title };
  $("brouillon-actions").hidden = false;
  const items = $("resultat-lignes").querySelectorAll("li");
  data.lines.forEach((line, i) => {
    if (i === 0) return;
    const item = items[i];
    if (data.locked[i]) item.classList.add("verrouillee");
    const again = element("button", "↻", "ligne-action");
    again.type = "button";
    again.disabled = data.locked[i];
    again.setAttribute("aria-label", "Relancer la ligne " + i);
    again.addEventListener("click", () => draftStep("reroll/" + i));
    const lock = element("button", data.locked[i] ? "🔒" : "🔓", "ligne-action");
    lock.type = "button";
    lock.disabled = data.whole;
    lock.setAttribute("aria-pressed", String(data.locked[i]));
    lock.setAttribute("aria-label", (data.locked[i] ? "Déverrouiller" : "Verrouiller") + " la ligne " + i);
    lock.addEventListener("click", () => draftStep((data.locked[i] ? "unlock/" : "lock/") + i));
    item.append(again, lock);
  });
}

async function draftStep(step) {
  if (!draft) return;
  const shown = draft;
  try {
    showDraft(shown.title, await call("POST", "/api/draft/" + encodeURIComponent(shown.token) + "/" + step));
    status("Brouillon : rien n'est enregistré.");
  } catch (error) {
    status(error.message);
  }
}

async function keepDraft() {
  if (!draft) return;
  const shown = draft;
  try {
    const run = await call("POST", "/api/draft/" + encodeURIComponent(shown.token) + "/keep");
    showCard(shown.title, run.lines, run.messages, { kind: run.kind, n: run.id });
    status("Gardé : n° " + run.id + ".");
    loadHistory();
  } catch (error) {
    status(error.message);
  }
}

async function runGenerator(generator) {
  if ($("brouillon").checked) {
    try {
      showDraft(generator.nom, await call("POST", "/api/draft/" + encodeURIComponent(generator.id)));
      status("Brouillon : rien n'est enregistré.");
    } catch (error) {
      status(error.message);
    }
    return;
  }
  status("Génération…");
  try {
    const run = await call("POST", "/api/generate/" + encodeURIComponent(generator.id));
    showCard(generator.nom, run.lines, run.messages, { kind: run.kind, n: run.id });
    status("");
    loadHistory();
  } catch (error) {
    status(error.message);
  }
}

async function loadGenerators() {
  const box = $("generateurs");
  box.replaceChildren();
  for (const generator of await call("GET", "/api/generators")) {
    const button = element("button", generator.nom);
    button.type = "button";
    button.addEventListener("click", () => runGenerator(generator));
    box.append(button);
  }
}

async function loadTables() {
  const select = $("table");
  select.replaceChildren();
  for (const table of await call("GET", "/api/tables")) {
    const option = element("option", table.nom ? table.id + " – " + table.nom : table.id);
    option.value = table.id;
    select.append(option);
  }
}

async function drawTable(event) {
  event.preventDefault();
  const table = $("table").value;
  if (!table) return;
  try {
    const draw = await call("POST", "/api/draw/" + encodeURIComponent(table));
    showCard("Tirage sur " + table, draw.text.split("\n"), draw.messages, { text: draw.text });
    status("");
  } catch (error) {
    status(error.message);
  }
}

async function openRecord(entry) {
  try {
    const record = await call("GET", "/api/history/" + encodeURIComponent(entry.kind) + "/" + entry.n);
    showCard(record.kindLabel + " n° " + record.n, record.lines, [], { kind: record.kind, n: record.n });
    $("resultat").scrollIntoView({ block: "start" });
  } catch (error) {
    status(error.message);
  }
}

async function loadHistory(event) {
  if (event) event.preventDefault();
  const words = $("mots").value.trim();
  try {
    const entries = await call("GET", "/api/history?limit=30&q=" + encodeURIComponent(words));
    const list = $("historique");
    list.replaceChildren();
    for (const entry of entries) {
      const item = element("li");
      const button = element("button");
      button.type = "button";
      button.append(element("span", entry.kindLabel + " n° " + entry.n + " · " + entry.created, "genre"),
                    element("span", entry.title));
      button.addEventListener("click", () => openRecord(entry));
      item.append(button);
      list.append(item);
    }
    if (entries.length === 0) list.append(element("li", "Aucun texte."));
  } catch (error) {
    status(error.message);
  }
}

async function copyCard() {
  const text = cardLines().join("\n");
  try {
    if (navigator.clipboard && window.isSecureContext) {
      await navigator.clipboard.writeText(text);
    } else {
      const area = element("textarea");
      area.value = text;
      document.body.append(area);
      area.select();
      document.execCommand("copy");
      area.remove();
    }
    status("Copié.");
  } catch (error) {
    status("La copie a échoué.");
  }
}

async function showToPlayers() {
  if (!current) return;
  const lines = Array.from($("resultat-lignes").querySelectorAll("input[type=checkbox]"))
    .filter((box) => box.checked).map((box) => Number(box.dataset.index));
  const body = current.text !== undefined ? { text: current.text, lines } : { kind: current.kind, n: current.n, lines };
  try {
    await call("POST", "/api/show", body);
    status("Montré aux joueurs.");
  } catch (error) {
    status(error.message);
  }
}

document.addEventListener("DOMContentLoaded", async () => {
  $("tirage").addEventListener("submit", drawTable);
  $("recherche").addEventListener("submit", loadHistory);
  $("copier").addEventListener("click", copyCard);
  $("montrer").addEventListener("click", showToPlayers);
  $("relancer-tout").addEventListener("click", () => draftStep("reroll"));
  $("garder").addEventListener("click", keepDraft);
  try {
    await Promise.all([loadGenerators(), loadTables(), loadHistory()]);
  } catch (error) {
    status(error.message);
  }
});
