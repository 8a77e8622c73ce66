// The players' page: what the game master shows, the newest on top and the nine before it below.
// It listens to the server's stream and reconnects by itself; texts go in as text only.
"use strict";

const kept = 10;

function element(tag, text, className) {
  const node = document.createElement(tag);
  if (text !== undefined) node.textContent = text;
  if (className) node.className = className;
  return node;
}

function add(item) {
  const box = document.getElementById("montre");
  const section = element("article", undefined, "item");
  if (item.title) section.append(element("h2", item.title));
  const list = element("ul", undefined, "lignes");
  for (const line of item.lines || []) list.append(element("li", line));
  section.append(list);
  for (const older of box.children) older.classList.add("ancien");
  box.prepend(section);
  while (box.children.length > kept) box.lastElementChild.remove();
  document.getElementById("attente").hidden = true;
}

function listen() {
  const events = new EventSource("/api/joueurs/events");
  const state = document.getElementById("liaison");
  let lastId = null;
  events.onopen = () => { state.textContent = ""; state.dataset.ouvert = "oui"; };
  events.onmessage = (event) => {
    if (event.lastEventId === lastId) return; // the same item again after a reconnection
    lastId = event.lastEventId;
    try { add(JSON.parse(event.data)); } catch (e) { /* not an item: ignored */ }
  };
  events.onerror = () => {
    state.textContent = "Liaison perdue, nouvelle tentative…";
    state.dataset.ouvert = "non";
  };
}

document.addEventListener("DOMContentLoaded", listen);
