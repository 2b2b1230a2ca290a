#pragma once

#include <QStringList>

// The choices a survey header offers, in the order the lists show them.
namespace pelmor::import {

// Trailer IDs: the letters A to Z.
const QStringList& trailerLetters();
// Directions of travel: "North" ... "NW".
const QStringList& directionsOfTravel();
// Survey zones: "School" ... "Parks & Rec".
const QStringList& surveyZones();

} // namespace pelmor::import
