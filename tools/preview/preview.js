// The HTML preview of a compiled scenario (tools/preview/html_preview.h): draws the
// data of the script element #data (live: of /data.json, on each "update"
// event of /events) into the SVG #view, as three panels over one range of
// metres: the plan, the elevation and the speed. Texts from the data enter
// the document only through textContent and setAttribute.
(function () {
  'use strict';

  const svg = document.getElementById('view');
  const NS = svg.namespaceURI;  // the inline <svg> brings its own namespace
  const tooltip = document.getElementById('tooltip');
  const details = document.getElementById('details');
  const rangeBox = document.getElementById('range');
  const search = document.getElementById('search');
  const searchResult = document.getElementById('search-result');
  const errorBox = document.getElementById('error');
  const live = document.body.dataset.live === '1';

  let data = JSON.parse(document.getElementById('data').textContent);
  let range = [0, data.length];
  let plotWidth = 1000;
  let pickedItem = null;  // "station:3": the item whose values #details keeps
  let drag = null;
  let drawPending = false;

  // ---- Layout, in pixels of the picture ------------------------------------------
  const HEIGHT = 760;
  const LEFT = 64;
  const RIGHT = 16;
  const PLAN = {top: 8, height: 226};
  const STATIONS = {top: 240, height: 62, rows: 3};
  const ELEVATION = {top: 308, height: 160};
  const SIGNS = {top: 474, height: 44, rows: 2};
  const SPEED = {top: 524, height: 170};
  const AXIS = SPEED.top + SPEED.height;
  const MIN_SPAN = 100;        // metres: the closest zoom
  const MAX_MARKS = 1500;      // past this many in view, one mark of a kind per pixel column
  const SEARCH_SPAN = 10000;   // metres in view after a search from farther out
  const LABEL_CHARS = 28;

  // ---- Helpers ---------------------------------------------------------------------
  function el(name, attrs, parent) {
    const e = document.createElementNS(NS, name);
    for (const k in attrs) e.setAttribute(k, attrs[k]);
    if (parent) parent.appendChild(e);
    return e;
  }
  function label(parent, x, y, str, cls, anchor) {
    const t = el('text', {x: x, y: y, class: cls}, parent);
    if (anchor) t.setAttribute('text-anchor', anchor);
    t.textContent = str;
    return t;
  }
  function kmText(metres) {
    const m = Math.round(metres);
    const a = Math.abs(m);
    return 'km ' + (m < 0 ? '-' : '') + Math.floor(a / 1000) + '+' + String(a % 1000).padStart(3, '0');
  }
  function cut(str) {
    return str.length <= LABEL_CHARS ? str : str.slice(0, LABEL_CHARS - 1) + '\u2026';
  }
  function textWidth(str, px) { return str.length * px * 0.6 + 4; }
  function span() { return range[1] - range[0]; }
  function xOf(m) { return LEFT + (m - range[0]) / span() * plotWidth; }
  function metreAt(x) { return range[0] + (x - LEFT) / plotWidth * span(); }
  function inView(from, to) { return to >= range[0] && from <= range[1]; }
  function clampX(x) { return Math.max(LEFT - 2, Math.min(LEFT + plotWidth + 2, x)); }
  function signed(v) { return (v > 0 ? '+' : '') + v; }

  // The first index whose key is not below `m` in a list sorted by key.
  function lowerBound(list, m, key) {
    let lo = 0, hi = list.length;
    while (lo < hi) {
      const mid = (lo + hi) >> 1;
      if (key(list[mid]) < m) lo = mid + 1; else hi = mid;
    }
    return lo;
  }
  // The value of the run [from, to, value] that holds `m`, or null.
  function runAt(runs, m) {
    const i = lowerBound(runs, m, (r) => r[1]);
    if (i < runs.length && runs[i][0] <= m && m <= runs[i][1]) return runs[i][2];
    return null;
  }
  // Runs and marks in view; past MAX_MARKS, the first of each pixel column.
  function thin(list, position) {
    const seen = list.filter((v) => inView(position(v), position(v)));
    if (seen.length <= MAX_MARKS) return seen;
    const kept = [];
    let column = -Infinity;
    for (const v of seen) {
      const c = Math.floor(xOf(position(v)));
      if (c !== column) kept.push(v);
      column = c;
    }
    return kept;
  }

  // The [item, index] of the spans (start .. end) in view, thinned so.
  function thinSpans(list) {
    const seen = [];
    list.forEach((v, i) => { if (inView(v.start, v.end)) seen.push([v, i]); });
    if (seen.length <= MAX_MARKS) return seen;
    const kept = [];
    let column = -Infinity;
    for (const vi of seen) {
      const c = Math.floor(xOf(vi[0].start));
      if (c !== column) kept.push(vi);
      column = c;
    }
    return kept;
  }

  // ---- Items and their values ------------------------------------------------------
  function item(ref) {
    const [kind, index] = ref.split(':');
    const list = {station: data.stations, sign: data.signs, signal: data.signals,
      slowdown: data.slowdowns, indicator: data.indicators, mountain: data.mountains,
      cell: data.cells}[kind];
    return list ? {kind: kind, v: list[Number(index)]} : null;
  }
  function describe(ref) {
    const it = item(ref);
    if (!it || !it.v) return null;
    const v = it.v;
    const at = (m) => kmText(m) + ' (' + m + ' m)';
    switch (it.kind) {
      case 'station':
        return [v.name, 'station, slot ' + v.slot + ', kind ' + v.kind, at(v.position),
          'area ' + v.area[0] + ' .. ' + v.area[1] + ' m',
          'stop time ' + v.stop_time + ' s',
          'time ' + (v.time_text ? v.time_text : '(none)')];
      case 'sign':
        return [v.text, 'route sign, slot ' + v.slot,
          v.position !== undefined ? at(v.position) + ', cell ' + v.cell : 'not placed on any cell'];
      case 'signal':
        return ['signal', at(v.position) + ', cell ' + v.cell,
          'left: sx ' + v.left[0] + ', aspects ' + v.left.slice(1).join(' '),
          'right: dx ' + v.right[0] + ', aspects ' + v.right.slice(1).join(' '),
          'rapp ' + v.rapp + ', signal time ' + v.signal_time + ' s',
          'stored codes ' + v.codes.join(' ')];
      case 'slowdown':
        return ['slowdown to ' + v.speed + ' km/h', 'from ' + at(v.start), 'to ' + at(v.end),
          'cells ' + v.start_cell + ' .. ' + v.end_cell];
      case 'indicator':
        return ['speed indicator', at(v.position) + ', cell ' + v.cell,
          'speeds (left/right km/h) a ' + v.speeds[0].join('/') + ', b ' + v.speeds[1].join('/') +
            ', c ' + v.speeds[2].join('/'),
          'stripes ' + v.stripes.join('/')];
      case 'mountain':
        return ['mountain stretch, type ' + v.type, 'from ' + at(v.start), 'to ' + at(v.end)];
      case 'cell':
        return [v.kind, at(v.position) + ', cell ' + v.cell, 'values ' + v.values.join(' ')];
    }
    return null;
  }
  function fill(box, lines) {
    box.textContent = '';
    const b = document.createElement('b');
    b.textContent = lines[0];
    box.appendChild(b);
    // The heading is a line of its own: "type 1" then "from km 12+000".
    if (lines.length > 1) box.appendChild(document.createTextNode('\n' + lines.slice(1).join('\n')));
  }
  function showTooltip(lines, clientX, clientY) {
    fill(tooltip, lines);
    tooltip.hidden = false;
    const w = tooltip.offsetWidth, h = tooltip.offsetHeight;
    let x = clientX + 14, y = clientY + 14;
    if (x + w > window.innerWidth - 4) x = clientX - w - 14;
    if (y + h > window.innerHeight - 4) y = clientY - h - 14;
    tooltip.style.left = Math.max(4, x) + 'px';
    tooltip.style.top = Math.max(4, y) + 'px';
  }
  function pick(ref) {
    pickedItem = ref;
    const lines = ref ? describe(ref) : null;
    if (lines) fill(details, lines);
    else details.textContent = 'Hover over a mark to see its values; click it to keep them here.';
    for (const e of svg.querySelectorAll('.picked')) e.classList.remove('picked');
    if (ref) for (const e of svg.querySelectorAll('[data-item="' + ref + '"]')) e.classList.add('picked');
  }
  // What the profiles hold at the pointer.
  function readout(m) {
    const lines = [kmText(m)];
    const h = heightAt(m);
    if (h !== null) lines.push('height ' + h.toFixed(1) + ' m');
    const g = runAt(data.gradient, m);
    if (g !== null) lines.push('gradient ' + signed(g) + ' \u2030');
    const s = runAt(data.speed, m);
    if (s !== null) lines.push('speed limit ' + s + ' km/h');
    const d = runAt(data.speed_shown, m);
    if (d !== null && d !== s) lines.push('with slowdowns ' + d + ' km/h');
    return lines;
  }

  // ---- Range -------------------------------------------------------------------------
  function setRange(a, b) {
    const length = data.length;
    let s = Math.min(Math.max(b - a, Math.min(MIN_SPAN, length)), length);
    const c = (a + b) / 2;
    a = c - s / 2;
    b = c + s / 2;
    if (a < 0) { b -= a; a = 0; }
    if (b > length) { a = Math.max(0, a - (b - length)); b = length; }
    range = [a, b];
    schedule();
  }
  function zoom(factor, at) {
    setRange(at - (at - range[0]) * factor, at + (range[1] - at) * factor);
  }
  function pan(fraction) {
    const d = span() * fraction;
    setRange(range[0] + d, range[1] + d);
  }
  function centre(m) {
    const s = Math.min(span(), SEARCH_SPAN);
    setRange(m - s / 2, m + s / 2);
  }
  function schedule() {
    if (drawPending) return;
    drawPending = true;
    window.requestAnimationFrame(() => { drawPending = false; draw(); });
  }

  // ---- Drawing -----------------------------------------------------------------------
  function draw() {
    const width = Math.max(svg.clientWidth || 0, 400);
    plotWidth = width - LEFT - RIGHT;
    svg.setAttribute('viewBox', '0 0 ' + width + ' ' + HEIGHT);
    svg.textContent = '';
    const defs = el('defs', {}, svg);
    const clip = el('clipPath', {id: 'clip-plot'}, defs);
    el('rect', {x: LEFT, y: 0, width: plotWidth, height: HEIGHT}, clip);
    const clipPlan = el('clipPath', {id: 'clip-plan'}, defs);
    el('rect', {x: LEFT, y: PLAN.top, width: plotWidth, height: PLAN.height}, clipPlan);

    drawAxis();
    drawPlan();
    drawElevation();
    drawSpeed();
    drawSigns();
    drawStations();
    el('line', {class: 'cursor-line', x1: -10, x2: -10, y1: ELEVATION.top, y2: AXIS, id: 'cursor'}, svg);
    rangeBox.textContent = kmText(range[0]) + ' - ' + kmText(range[1]);
    if (pickedItem) pick(pickedItem);
  }

  function frame(panel, title) {
    el('rect', {class: 'frame', x: LEFT, y: panel.top, width: plotWidth, height: panel.height}, svg);
    label(svg, LEFT + 4, panel.top + 12, title, 'panel-title');
  }

  function drawAxis() {
    const g = el('g', {class: 'axis'}, svg);
    const steps = [10, 20, 50, 100, 200, 500, 1000, 2000, 5000, 10000, 20000, 50000, 100000, 200000, 500000];
    const step = steps.find((s) => span() / s <= plotWidth / 90) || 1000000;
    for (let m = Math.ceil(range[0] / step) * step; m <= range[1]; m += step) {
      const x = xOf(m);
      el('line', {x1: x, x2: x, y1: ELEVATION.top, y2: AXIS + 4}, g);
      label(g, x, AXIS + 16, kmText(m).slice(3), 'tick-label', 'middle');
    }
    label(g, LEFT + plotWidth, AXIS + 32, 'km from the origin', 'tick-label', 'end');
  }

  // Value ticks on the left of a panel.
  function valueAxis(panel, lo, hi, unit) {
    const g = el('g', {class: 'axis'}, svg);
    const raw = (hi - lo) / 4;
    const mag = Math.pow(10, Math.floor(Math.log10(raw || 1)));
    const step = [1, 2, 5, 10].map((k) => k * mag).find((s) => s >= raw) || raw;
    for (let v = Math.ceil(lo / step) * step; v <= hi + 1e-9; v += step) {
      const y = panel.top + panel.height - (v - lo) / (hi - lo) * panel.height;
      el('line', {x1: LEFT - 4, x2: LEFT + plotWidth, y1: y, y2: y, class: 'grid'}, g);
      label(g, LEFT - 6, y + 3, Number(v.toFixed(6)) + unit, 'tick-label', 'end');
    }
  }

  // The plan point of metre `m`, between the stored points around it.
  function planAt(m) {
    const p = data.plan.points;
    if (!p.length) return null;
    const i = lowerBound(p, m, (q) => q[0]);
    if (i === 0) return [p[0][1], p[0][2]];
    if (i >= p.length) return [p[p.length - 1][1], p[p.length - 1][2]];
    const a = p[i - 1], b = p[i];
    const t = b[0] === a[0] ? 0 : (m - a[0]) / (b[0] - a[0]);
    return [a[1] + (b[1] - a[1]) * t, a[2] + (b[2] - a[2]) * t];
  }

  function drawPlan() {
    frame(PLAN, 'plan (north up), fitted to the stretch in view');
    const p = data.plan.points;
    if (!p.length) {
      label(svg, LEFT + plotWidth / 2, PLAN.top + PLAN.height / 2, 'no line file: no plan', 'panel-title', 'middle');
      return;
    }
    const seen = [planAt(range[0])];
    for (let i = lowerBound(p, range[0], (q) => q[0]); i < p.length && p[i][0] < range[1]; ++i) {
      seen.push([p[i][1], p[i][2]]);
    }
    seen.push(planAt(range[1]));
    let x0 = Infinity, x1 = -Infinity, y0 = Infinity, y1 = -Infinity;
    for (const q of seen) {
      x0 = Math.min(x0, q[0]); x1 = Math.max(x1, q[0]);
      y0 = Math.min(y0, q[1]); y1 = Math.max(y1, q[1]);
    }
    const pad = 14;
    const k = Math.min((plotWidth - 2 * pad) / Math.max(x1 - x0, 1e-6),
      (PLAN.height - 2 * pad) / Math.max(y1 - y0, 1e-6), 50);
    const cx = LEFT + plotWidth / 2, cy = PLAN.top + PLAN.height / 2;
    const mx = (x0 + x1) / 2, my = (y0 + y1) / 2;
    const at = (q) => (cx + (q[0] - mx) * k).toFixed(1) + ',' + (cy - (q[1] - my) * k).toFixed(1);
    const g = el('g', {'clip-path': 'url(#clip-plan)'}, svg);
    el('polyline', {class: 'plan-all', points: p.map((q) => at([q[1], q[2]])).join(' ')}, g);
    el('polyline', {class: 'plan-seen', points: seen.map(at).join(' ')}, g);
    data.stations.forEach((s, i) => {
      if (!inView(s.position, s.position)) return;
      const q = at(planAt(s.position)).split(',');
      el('circle', {class: 'plan-station', cx: q[0], cy: q[1], r: 4, 'data-item': 'station:' + i}, g);
    });
    // A scale bar: the round length nearest a fifth of the panel.
    const metres = (plotWidth / 5) / k;
    const bar = [1, 2, 5].map((f) => f * Math.pow(10, Math.floor(Math.log10(metres))))
      .reverse().find((v) => v <= metres) || metres;
    const bx = LEFT + plotWidth - 12 - bar * k, by = PLAN.top + PLAN.height - 10;
    el('line', {x1: bx, x2: bx + bar * k, y1: by, y2: by, stroke: '#555', 'stroke-width': 2}, svg);
    label(svg, bx + bar * k / 2, by - 4, bar >= 1000 ? bar / 1000 + ' km' : bar + ' m', 'tick-label', 'middle');
    label(svg, LEFT + plotWidth - 12, PLAN.top + 14, 'N \u2191', 'tick-label', 'end');
  }

  function heightAt(m) {
    const e = data.elevation;
    if (!e.length) return null;
    const i = lowerBound(e, m, (q) => q[0]);
    if (i === 0) return e[0][1];
    if (i >= e.length) return e[e.length - 1][1];
    const a = e[i - 1], b = e[i];
    return a[1] + (b[1] - a[1]) * (m - a[0]) / (b[0] - a[0]);
  }

  function drawElevation() {
    frame(ELEVATION, 'elevation (m) and gradient (\u2030)');
    const g = el('g', {'clip-path': 'url(#clip-plot)'}, svg);
    const bottom = ELEVATION.top + ELEVATION.height;
    thinSpans(data.mountains).forEach(([v, i]) => {
      const x = clampX(xOf(v.start));
      el('rect', {'data-kind': 'mountain', 'data-item': 'mountain:' + i, x: x, y: ELEVATION.top,
        width: Math.max(clampX(xOf(v.end)) - x, 1), height: ELEVATION.height}, g);
    });
    const e = data.elevation;
    if (!e.length) {
      label(svg, LEFT + plotWidth / 2, ELEVATION.top + ELEVATION.height / 2, 'no track file: no profile', 'panel-title', 'middle');
      return;
    }
    const seen = [[range[0], heightAt(range[0])]];
    for (let i = lowerBound(e, range[0], (q) => q[0]); i < e.length && e[i][0] < range[1]; ++i) seen.push(e[i]);
    seen.push([range[1], heightAt(range[1])]);
    let lo = Math.min(...seen.map((q) => q[1])), hi = Math.max(...seen.map((q) => q[1]));
    const extra = Math.max((hi - lo) * 0.15, 1);
    lo -= extra; hi += extra;
    valueAxis(ELEVATION, lo, hi, '');
    const yOf = (h) => ELEVATION.top + ELEVATION.height - (h - lo) / (hi - lo) * ELEVATION.height;
    el('polyline', {class: 'elevation',
      points: seen.map((q) => xOf(q[0]).toFixed(1) + ',' + yOf(q[1]).toFixed(1)).join(' ')}, g);
    // The gradient of each run wide enough for its value, under the line.
    let lastCut = -Infinity;
    for (let i = lowerBound(data.gradient, range[0], (r) => r[1]); i < data.gradient.length; ++i) {
      const r = data.gradient[i];
      if (r[0] > range[1]) break;
      const xa = clampX(xOf(r[0])), xb = clampX(xOf(r[1]));
      if (xa - lastCut >= 3) {
        el('line', {class: 'gradient-cut', x1: xa, x2: xa, y1: bottom - 6, y2: bottom}, g);
        lastCut = xa;
      }
      const text = signed(r[2]) + '\u2030';
      if (xb - xa >= textWidth(text, 10) + 4) label(g, (xa + xb) / 2, bottom - 8, text, 'gradient-label', 'middle');
    }
  }

  function stepPath(runs, yOf) {
    let d = '';
    for (let i = lowerBound(runs, range[0], (r) => r[1]); i < runs.length && runs[i][0] <= range[1]; ++i) {
      const r = runs[i];
      const xa = clampX(xOf(r[0])).toFixed(1), xb = clampX(xOf(r[1])).toFixed(1), y = yOf(r[2]).toFixed(1);
      d += (d ? 'L' : 'M') + xa + ',' + y + 'L' + xb + ',' + y;
    }
    return d;
  }

  function drawSpeed() {
    frame(SPEED, 'speed (km/h)');
    const bottom = SPEED.top + SPEED.height;
    let top = 20;
    for (const r of data.speed) if (inView(r[0], r[1])) top = Math.max(top, r[2]);
    const hi = Math.ceil(top * 1.2 / 20) * 20;
    valueAxis(SPEED, 0, hi, '');
    const yOf = (v) => bottom - Math.min(Math.max(v, 0), hi) / hi * SPEED.height;
    const g = el('g', {'clip-path': 'url(#clip-plot)'}, svg);
    thinSpans(data.slowdowns).forEach(([v, i]) => {
      const s = el('g', {'data-kind': 'slowdown', 'data-item': 'slowdown:' + i}, g);
      const xa = clampX(xOf(v.start)), xb = Math.max(clampX(xOf(v.end)), xa + 2);
      el('rect', {x: xa, y: yOf(v.speed), width: xb - xa, height: bottom - yOf(v.speed)}, s);
      if (xb - xa >= 14) label(s, (xa + xb) / 2, yOf(v.speed) - 3, String(v.speed), '', 'middle');
    });
    el('path', {class: 'speed-limit', d: stepPath(data.speed, yOf)}, g);
    el('path', {class: 'speed-shown', d: stepPath(data.speed_shown, yOf)}, g);
    const marks = (list, kind, position, shape) => {
      thin(list.map((v, i) => [v, i]), (vi) => position(vi[0])).forEach((vi) => {
        const e = shape(xOf(position(vi[0])), vi[0]);
        e.setAttribute('data-kind', kind);
        e.setAttribute('data-item', kind + ':' + vi[1]);
        g.appendChild(e);
      });
    };
    marks(data.signals, 'signal', (v) => v.position,
      (x) => el('rect', {x: x - 2, y: bottom - 12, width: 4, height: 12}));
    marks(data.indicators, 'indicator', (v) => v.position,
      (x) => el('path', {d: 'M' + (x - 6) + ',' + (SPEED.top + 3) + 'h12l-6,10z'}));
    marks(data.cells, 'cell', (v) => v.position,
      (x) => el('line', {x1: x, x2: x, y1: bottom - 30, y2: bottom - 18}));
  }

  // Labels in `rows` rows over a strip: each takes the first row where it
  // does not touch the one before it, and is left out when none has room.
  function placeLabels(strip, entries, px) {
    const ends = new Array(strip.rows).fill(-Infinity);
    for (const e of entries) {
      const w = textWidth(e.text, px);
      const row = ends.findIndex((end) => e.x + 3 >= end + 4);
      if (row < 0 || e.x + 3 + w > LEFT + plotWidth + RIGHT) { e.row = -1; continue; }
      ends[row] = e.x + 3 + w;
      e.row = row;
    }
  }

  function drawStations() {
    const bottom = SPEED.top + SPEED.height;
    const entries = data.stations.map((s, i) => ({s: s, i: i, x: xOf(s.position), text: cut(s.name)}))
      .sort((a, b) => a.x - b.x);
    placeLabels(STATIONS, entries.filter((e) => inView(e.s.position, e.s.position)), 11);
    for (const e of entries) {
      const g = el('g', {'data-kind': 'station', 'data-item': 'station:' + e.i}, svg);
      g.setAttribute('data-name', e.s.name);
      if (!inView(e.s.position, e.s.position)) { g.classList.add('off'); continue; }
      const labelY = STATIONS.top + 13 + (e.row >= 0 ? e.row : STATIONS.rows - 1) * 17;
      const lineTop = e.row >= 0 ? labelY + 3 : STATIONS.top + STATIONS.height - 6;
      el('line', {x1: e.x, x2: e.x, y1: lineTop, y2: bottom}, g);
      el('circle', {cx: e.x, cy: STATIONS.top + STATIONS.height, r: 3.5}, g);
      el('rect', {class: 'hit', x: e.x - 4, y: lineTop, width: 8, height: bottom - lineTop}, g);
      if (e.row >= 0) {
        el('line', {class: 'leader', x1: e.x, x2: e.x + 3 + textWidth(e.text, 11) - 4, y1: labelY + 3, y2: labelY + 3}, g);
        label(g, e.x + 3, labelY, e.text, 'station-label');
      }
    }
  }

  function drawSigns() {
    const base = SIGNS.top + SIGNS.height;
    const placed = (s) => s.position !== undefined && inView(s.position, s.position);
    const entries = data.signs.map((s, i) => ({s: s, i: i, x: placed(s) ? xOf(s.position) : 0, text: cut(s.text)}))
      .sort((a, b) => a.x - b.x);
    placeLabels(SIGNS, entries.filter((e) => placed(e.s)), 10);
    for (const e of entries) {
      const g = el('g', {'data-kind': 'sign', 'data-item': 'sign:' + e.i}, svg);
      g.setAttribute('data-name', e.s.text);
      if (!placed(e.s)) { g.classList.add('off'); continue; }
      el('path', {d: 'M' + (e.x - 5) + ',' + (base - 9) + 'h10l-5,9z'}, g);
      if (e.row >= 0) {
        const y = SIGNS.top + 11 + e.row * 15;
        el('line', {class: 'sign-leader', x1: e.x, x2: e.x, y1: y + 2, y2: base - 9}, g);
        label(g, e.x + 3, y, e.text, 'sign-label');
      }
    }
  }

  // ---- Legend and diagnostics ------------------------------------------------------
  function legend() {
    const box = document.getElementById('legend');
    const entries = [
      ['plan: the stretch in view / the rest', (s) => {
        el('line', {x1: 0, x2: 14, y1: 7, y2: 7, class: 'plan-seen'}, s);
        el('line', {x1: 16, x2: 28, y1: 7, y2: 7, class: 'plan-all'}, s); }],
      ['station (its name above; dot on the plan)', (s) => {
        const g = el('g', {'data-kind': 'station-legend'}, s);
        el('line', {x1: 14, x2: 14, y1: 0, y2: 14, stroke: 'var(--station)', 'stroke-dasharray': '3 3'}, g);
        el('circle', {cx: 14, cy: 10, r: 3.5, fill: 'var(--station)'}, g); }],
      ['route sign (its text above)', (s) => el('path', {d: 'M9,3h10l-5,9z', fill: 'var(--sign)'}, s)],
      ['signal', (s) => el('rect', {x: 12, y: 2, width: 4, height: 12, fill: 'var(--signal)'}, s)],
      ['slowdown: its speed from start to end', (s) => el('rect', {x: 4, y: 4, width: 20, height: 10,
        fill: 'var(--dip)', 'fill-opacity': 0.18, stroke: 'var(--dip)'}, s)],
      ['speed limit', (s) => el('line', {x1: 0, x2: 28, y1: 7, y2: 7, class: 'speed-limit'}, s)],
      ['speed with the slowdowns\u2019 dips', (s) => el('line', {x1: 0, x2: 28, y1: 7, y2: 7, class: 'speed-shown'}, s)],
      ['speed indicator', (s) => el('path', {d: 'M8,2h12l-6,10z', fill: '#e6ab02', stroke: '#7a5a00'}, s)],
      ['mountain stretch', (s) => el('rect', {x: 2, y: 1, width: 24, height: 12, fill: 'var(--mountain)', 'fill-opacity': 0.15}, s)],
      ['other marked cell: station stop, warnings, \u2026 (hover for its kind)', (s) => el('line', {x1: 14, x2: 14, y1: 1, y2: 13,
        stroke: 'var(--cell)', 'stroke-width': 2}, s)],
      ['elevation', (s) => el('line', {x1: 0, x2: 28, y1: 7, y2: 7, class: 'elevation'}, s)],
      ['gradient in \u2030 (tick where it changes)', (s) => {
        el('line', {x1: 4, x2: 4, y1: 6, y2: 14, class: 'gradient-cut'}, s);
        label(s, 8, 11, '+5', 'gradient-label'); }],
    ];
    box.textContent = '';
    for (const [text, swatch] of entries) {
      const row = document.createElement('div');
      const s = el('svg', {viewBox: '0 0 28 14', width: 28, height: 14}, null);
      swatch(s);
      row.appendChild(s);
      const t = document.createElement('span');
      t.textContent = text;
      row.appendChild(t);
      box.appendChild(row);
    }
  }

  function showDiagnostics() {
    const list = document.getElementById('diagnostics');
    list.textContent = '';
    if (!data.diagnostics.length) {
      const li = document.createElement('li');
      li.className = 'none';
      li.textContent = 'no diagnostics';
      list.appendChild(li);
    }
    for (const d of data.diagnostics) {
      const li = document.createElement('li');
      li.className = d.error ? 'error' : 'warning';
      li.textContent = d.heading;
      li.title = d.text;
      list.appendChild(li);
    }
    const n = data.names;
    document.getElementById('names').textContent =
      [n.line && n.train ? n.line + ' / ' + n.train : n.line || n.train, n.files.join(', ')]
        .filter((v) => v).join(' \u2014 ');
  }

  // The driver's documents, each as its text under its file name; the panel
  // stays hidden when the data has none.
  function showDocuments() {
    const panel = document.getElementById('documents-panel');
    const box = document.getElementById('documents');
    box.textContent = '';
    const docs = data.documents;
    panel.hidden = !docs;
    if (!docs) return;
    for (const key of ['timetable_card', 'slow_order_form']) {
      const doc = docs[key];
      if (!doc) continue;
      const details = document.createElement('details');
      const summary = document.createElement('summary');
      summary.textContent = doc.file;
      const pre = document.createElement('pre');
      pre.textContent = doc.lines.join('\n');
      details.appendChild(summary);
      details.appendChild(pre);
      box.appendChild(details);
    }
  }

  function showError(lines) {
    if (!lines.length) { errorBox.hidden = true; return; }
    errorBox.textContent = lines.join('\n');
    errorBox.hidden = false;
  }
  function errorsOf(d) {
    return d.diagnostics.filter((x) => x.error).map((x) => x.heading);
  }

  // ---- Search ------------------------------------------------------------------------
  // Metres of "12+500", "km 12+500", "12.5" or "12,5"; null for other text.
  function parseKm(text) {
    const s = text.trim().replace(/^km\s*/i, '');
    let m = /^(-?)(\d+)\+(\d{1,3})$/.exec(s);
    if (m) return (m[1] ? -1 : 1) * (Number(m[2]) * 1000 + Number(m[3]));
    m = /^-?\d+(?:[.,]\d+)?$/.exec(s);
    if (m) return Number(s.replace(',', '.')) * 1000;
    return null;
  }
  function find(text) {
    const q = text.trim().toLowerCase();
    const all = data.stations.map((s, i) => ({name: s.name, position: s.position, ref: 'station:' + i}))
      .concat(data.signs.filter((s) => s.position !== undefined)
        .map((s) => ({name: s.text, position: s.position, ref: 'sign:' + data.signs.indexOf(s)})));
    return all.find((e) => e.name.toLowerCase() === q) ||
      all.find((e) => e.name.toLowerCase().startsWith(q)) ||
      all.find((e) => e.name.toLowerCase().includes(q)) || null;
  }
  function runSearch() {
    const text = search.value;
    search.classList.remove('not-found');
    if (!text.trim()) { searchResult.textContent = ''; return; }
    const m = parseKm(text);
    if (m !== null) {
      centre(m);
      searchResult.textContent = kmText(m);
      return;
    }
    const hit = find(text);
    if (!hit) {
      search.classList.add('not-found');
      searchResult.textContent = 'nothing matches';
      return;
    }
    centre(hit.position);
    pick(hit.ref);
    searchResult.textContent = kmText(hit.position);
  }

  // ---- Input -------------------------------------------------------------------------
  function pointerMetre(e) {
    const box = svg.getBoundingClientRect();
    const x = (e.clientX - box.left) * (svg.viewBox.baseVal.width / box.width);
    return {x: x, y: (e.clientY - box.top) * (HEIGHT / box.height), m: metreAt(x)};
  }
  svg.addEventListener('wheel', (e) => {
    e.preventDefault();
    const p = pointerMetre(e);
    const lines = e.deltaMode === 1 ? 40 : e.deltaMode === 2 ? 800 : 1;
    const at = p.x >= LEFT && p.x <= LEFT + plotWidth ? p.m : (range[0] + range[1]) / 2;
    zoom(Math.pow(1.0015, Math.max(-400, Math.min(400, e.deltaY * lines))), at);
  }, {passive: false});
  svg.addEventListener('pointerdown', (e) => {
    if (e.button !== 0) return;
    const hit = e.target.closest('[data-item]');
    drag = {x: e.clientX, range: range.slice(), moved: false, ref: hit ? hit.getAttribute('data-item') : null};
    svg.setPointerCapture(e.pointerId);
    svg.focus();
  });
  svg.addEventListener('pointermove', (e) => {
    if (drag) {
      const dx = e.clientX - drag.x;
      if (Math.abs(dx) > 3) drag.moved = true;
      if (drag.moved) {
        svg.classList.add('dragging');
        tooltip.hidden = true;
        const box = svg.getBoundingClientRect();
        const shift = -dx * (svg.viewBox.baseVal.width / box.width) / plotWidth * (drag.range[1] - drag.range[0]);
        setRange(drag.range[0] + shift, drag.range[1] + shift);
      }
      return;
    }
    const hit = e.target.closest ? e.target.closest('[data-item]') : null;
    const cursor = document.getElementById('cursor');
    if (hit) {
      const lines = describe(hit.getAttribute('data-item'));
      if (lines) { showTooltip(lines, e.clientX, e.clientY); return; }
    }
    const p = pointerMetre(e);
    if (p.y >= ELEVATION.top && p.y <= AXIS && p.x >= LEFT && p.x <= LEFT + plotWidth && (data.elevation.length || data.speed.length)) {
      if (cursor) { cursor.setAttribute('x1', p.x); cursor.setAttribute('x2', p.x); }
      showTooltip(readout(p.m), e.clientX, e.clientY);
    } else {
      if (cursor) { cursor.setAttribute('x1', -10); cursor.setAttribute('x2', -10); }
      tooltip.hidden = true;
    }
  });
  const endDrag = (e) => {
    if (!drag) return;
    const d = drag;
    drag = null;
    svg.classList.remove('dragging');
    if (e.type === 'pointerup' && !d.moved) pick(d.ref);
  };
  svg.addEventListener('pointerup', endDrag);
  svg.addEventListener('pointercancel', endDrag);
  svg.addEventListener('pointerleave', () => { if (!drag) tooltip.hidden = true; });
  svg.setAttribute('tabindex', '0');
  document.addEventListener('keydown', (e) => {
    if (e.target === search || e.ctrlKey || e.metaKey || e.altKey) return;
    const mid = (range[0] + range[1]) / 2;
    switch (e.key) {
      case '+': case '=': zoom(0.8, mid); break;
      case '-': case '_': zoom(1.25, mid); break;
      case 'ArrowLeft': pan(-0.2); break;
      case 'ArrowRight': pan(0.2); break;
      case '0': case 'Home': setRange(0, data.length); break;
      case 'Escape': pick(null); break;
      default: return;
    }
    e.preventDefault();
  });
  document.getElementById('zoom-in').addEventListener('click', () => zoom(0.5, (range[0] + range[1]) / 2));
  document.getElementById('zoom-out').addEventListener('click', () => zoom(2, (range[0] + range[1]) / 2));
  document.getElementById('zoom-all').addEventListener('click', () => setRange(0, data.length));
  search.addEventListener('keydown', (e) => { if (e.key === 'Enter') runSearch(); });
  search.addEventListener('change', runSearch);
  window.addEventListener('resize', schedule);

  // ---- Live --------------------------------------------------------------------------
  function isPreviewData(d) {
    return d && typeof d.length === 'number' && Array.isArray(d.stations) && Array.isArray(d.diagnostics) &&
      d.plan && Array.isArray(d.plan.points);
  }
  function refetch() {
    fetch('/data.json', {cache: 'no-store'})
      .then((r) => {
        if (!r.ok) throw new Error('the server answered ' + r.status);
        return r.json();
      })
      .then((d) => {
        if (!isPreviewData(d)) throw new Error('the answer is not preview data');
        if (d.names.files.length) {
          data = d;
          setRange(range[0], range[1]);
        } else {
          data.diagnostics = d.diagnostics;  // nothing to draw: the last good picture stays
        }
        showDiagnostics();
        showDocuments();
        showError(errorsOf(d));
      })
      .catch((err) => showError(['cannot fetch the new data (' + err.message + '): the picture is the last good one']));
  }
  if (live && window.EventSource) {
    const events = new EventSource('/events');
    events.addEventListener('update', refetch);
  }

  legend();
  showDiagnostics();
  showDocuments();
  if (live) showError(errorsOf(data));
  draw();
})();
