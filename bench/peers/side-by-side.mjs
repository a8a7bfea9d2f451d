// Per flight: igc-xc-score's proven optimum of each distance kind beside Logwell's analysis.
// Run through bench/peers/side-by-side, which installs the packages next to this file.
import fs from 'fs';
import path from 'path';
import { spawnSync } from 'child_process';
import IGCParser from 'igc-parser';
import { solver, scoringRules } from 'igc-xc-score';

const hp = (process.env.XC_HP ?? '1') !== '0';
const maxtime = Number(process.env.XC_TIMEOUT_MS ?? 600000);
const cli = process.env.LOGWELL_CLI;
const extra = (process.env.ANALYSE_ARGS ?? '').split(' ').filter((a) => a);

// The peer's XContest kinds "Free Flight", "Free Triangle" and "FAI Triangle" have the
// analysis' definitions: free distance over 3 turnpoints; triangles scored as perimeter less
// closing with the closing at most 20 % of the perimeter, FAI sides at least 28 % of it. Each
// is solved alone, with multiplier 1 and no rounding, so its score is the distance itself.
const identity = (v) => v;
const xcontest = (name) => ({ ...scoringRules.XContest.find((r) => r.name === name), multiplier: 1, rounding: identity });
const kinds = [
  { key: 'free_distance', rule: xcontest('Free Flight') },
  { key: 'free_triangle', rule: xcontest('Free Triangle') },
  { key: 'fai_triangle', rule: xcontest('FAI Triangle') },
];

function peerScores(text) {
  const flight = IGCParser.parse(text, { lenient: true });
  const out = {};
  let total = 0;
  for (const k of kinds) {
    const start = process.hrtime.bigint();
    // Every fix counts, as in the analysis (invalid: true keeps the fixes marked V).
    // Each step gives the best solution so far; the last (done) one is the proven optimum.
    const steps = solver(flight, [k.rule], { hp, trim: false, invalid: true, maxcycle: 1000 });
    let step = steps.next();
    while (!step.done && Number(process.hrtime.bigint() - start) / 1e6 < maxtime) step = steps.next();
    const best = step.value;
    const seconds = Number(process.hrtime.bigint() - start) / 1e9;
    total += seconds;
    out[k.key] = { km: best ? best.score : NaN, optimal: !!(best && best.optimal), seconds };
  }
  out.seconds = total;
  return out;
}

function logwellScores(file) {
  const start = process.hrtime.bigint();
  const run = spawnSync(cli, ['analyse', file, '--json', ...extra], { encoding: 'utf8' });
  const seconds = Number(process.hrtime.bigint() - start) / 1e9;
  if (run.status !== 0) return { error: (run.stderr || run.stdout).trim().split('\n')[0], seconds };
  // One object per file; later versions may print more fields or one line per file.
  const json = JSON.parse(run.stdout.trim().split('\n').join(' '));
  // With --exact the proven optimum is in "contest"; otherwise the thinned search's "olc".
  const found = (extra.includes('--exact') ? json.contest : json.olc) ?? {};
  const out = { seconds };
  for (const k of kinds) out[k.key] = { km: found[k.key]?.km ?? NaN };
  return out;
}

const pad = (s, n) => String(s).padStart(n);
const km = (v) => (Number.isFinite(v) ? v.toFixed(4) : '-');
console.log(`igc-xc-score (hp=${hp}) beside logwell-cli analyse ${extra.join(' ')}`.trim());
console.log(['flight'.padEnd(36), 'kind'.padEnd(14), pad('peer km', 10), pad('logwell km', 11),
  pad('diff m', 8), pad('peer s', 9), pad('logwell s', 10)].join(' '));
const ratios = [];
for (const file of process.argv.slice(2)) {
  const name = path.basename(file);
  let peer;
  try {
    peer = peerScores(fs.readFileSync(file, 'utf8'));
  } catch (e) {
    console.log(`${name.padEnd(36)} peer refused: ${String(e.message).split('\n')[0]}`);
    continue;
  }
  const ours = logwellScores(file);
  if (ours.error) {
    console.log(`${name.padEnd(36)} logwell refused: ${ours.error}`);
    continue;
  }
  for (const [i, k] of kinds.entries()) {
    const p = peer[k.key];
    const o = ours[k.key];
    const diff = (o.km - p.km) * 1000;
    console.log([(i === 0 ? name : '').padEnd(36), k.key.padEnd(14), pad(km(p.km), 10) + (p.optimal ? ' ' : '?'),
      pad(km(o.km), 10), pad(Number.isFinite(diff) ? diff.toFixed(1) : '-', 8),
      pad(p.seconds.toFixed(2), 9), pad(i === 0 ? ours.seconds.toFixed(2) : '', 10)].join(' '));
  }
  console.log(''.padEnd(36), 'all kinds'.padEnd(14), ''.padEnd(10), ''.padEnd(11), ''.padEnd(8),
    pad(peer.seconds.toFixed(2), 10), pad(ours.seconds.toFixed(2), 10));
  ratios.push(peer.seconds / ours.seconds);
}
if (ratios.length > 0) {
  const geo = Math.exp(ratios.reduce((s, r) => s + Math.log(r), 0) / ratios.length);
  console.log(`\nGeometric mean of peer time / logwell time over ${ratios.length} flights: ${geo.toFixed(2)}x`);
}
console.log('("?" after a peer distance: not proven optimal within XC_TIMEOUT_MS)');
