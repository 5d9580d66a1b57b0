// Writes what ts-fsrs schedules for a thousand seeded random answer
// sequences, one answer a line:
//   <sequence> <retention> <unix seconds> <grade: 1 again, 3 good, 4 easy> <stability> <difficulty> <interval days>
// Usage: node fsrs-oracle.js <ts-fsrs package dir> <output file>
'use strict';
const fs = require('fs');
const path = require('path');
const { fsrs, generatorParameters, createEmptyCard, Rating } = require(path.resolve(process.argv[2], 'dist/index.cjs'));

const w = [0.212, 1.2931, 2.3065, 8.2956, 6.4133, 0.8334, 3.0194, 0.001, 1.8722, 0.1666, 0.796,
           1.4835, 0.0614, 0.2629, 1.6483, 0.6014, 1.8729, 0.5425, 0.0912, 0.0658, 0.1542];
const retentions = [0.7, 0.8, 0.85, 0.9, 0.9, 0.95, 0.97];

// mulberry32: the same sequences on every run.
let seed = 20261208;
function random() {
    seed = (seed + 0x6D2B79F5) | 0;
    let t = Math.imul(seed ^ (seed >>> 15), 1 | seed);
    t = (t + Math.imul(t ^ (t >>> 7), 61 | t)) ^ t;
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
}
const below = (n) => Math.floor(random() * n);

const lines = [];
for (let sequence = 0; sequence < 1000; ++sequence) {
    const retention = retentions[below(retentions.length)];
    const f = fsrs(generatorParameters({
        w, request_retention: retention, enable_fuzz: false, enable_short_term: true,
        learning_steps: [], relearning_steps: [], maximum_interval: 36500,
    }));
    let time = Date.UTC(2019, 0, 1) + below(3650) * 86400000 + below(86400) * 1000;
    let card = createEmptyCard(new Date(time));
    const answers = 1 + below(14);
    for (let i = 0; i < answers; ++i) {
        if (i > 0) {
            // On the due day, early, late, much later, or again the same day.
            const kind = below(5);
            const due = card.scheduled_days;
            const days = kind === 0 ? due : kind === 1 ? Math.max(0, Math.floor(due * random()))
                       : kind === 2 ? due + below(due + 30) : kind === 3 ? below(3000) : 0;
            const midnight = Math.floor(time / 86400000) * 86400000;
            const next = midnight + days * 86400000 + below(86400) * 1000;
            time = Math.max(next, time + 1000);
        }
        const pick = random();
        const grade = pick < 0.25 ? Rating.Again : pick < 0.85 ? Rating.Good : Rating.Easy;
        card = f.next(card, new Date(time), grade).card;
        lines.push([sequence, retention, Math.floor(time / 1000), grade,
                    card.stability.toFixed(8), card.difficulty.toFixed(8), card.scheduled_days].join(' '));
    }
}
fs.writeFileSync(process.argv[3], lines.join('\n') + '\n');
