// The about text that Label10 shows over the sky when the player clicks ABOUT.
#pragma once

inline constexpr const char* kAboutText =
    "Tuto hru jsem napsal v roce 2002, abych nějak zabil čas.   Jestli se ti nelíbí, "
    "zastřel autora: je totiž jednou z postaviček, které se pořád schovávají za plotem. "
    "Další moje práce najdeš na http://www.example.com/vombrel/ a e-maily do 100 KB bez "
    "virů mi můžeš posílat na autor@example.org.";
