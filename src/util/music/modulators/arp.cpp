#include "util/music/modulators/arp.h"

Arp::Arp(int pattern_, int octaves_, int numerator, int denominator, bool triplet)
    : Modulator(-1, KIND_ARP, noteLength(numerator, denominator, triplet)), pattern(pattern_), octaves(octaves_) {}

float Arp::value(float, float offTime, float onTime) { return onTime > offTime ? 1.0f : 0.0f; }
