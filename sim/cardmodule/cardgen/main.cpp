// quendry-sim-cardgen: writes a card set with one card of every card type.
//   quendry-sim-cardgen <card set file> [<CA certificate file (DER)>]

#include "sim/cardmodule/cardset/CardSet.h"
#include "sim/cardmodule/cardset/Generator.h"

#include <fstream>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3)
    {
        std::cerr << "usage: quendry-sim-cardgen <card set file> [<CA certificate file>]\n";
        return 2;
    }
    QuendrySim::CardSet set;
    QuendrySim::GeneratedCa ca;
    if (!QuendrySim::GenerateCardSet(set, ca) || !QuendrySim::SaveCardSet(set, argv[1]))
    {
        std::cerr << "quendry-sim-cardgen: could not make " << argv[1] << "\n";
        return 1;
    }
    if (argc == 3)
    {
        std::ofstream out(argv[2], std::ios::binary);
        out.write(reinterpret_cast<const char*>(ca.certificate.data()),
                  static_cast<std::streamsize>(ca.certificate.size()));
        if (!out)
        {
            std::cerr << "quendry-sim-cardgen: could not write " << argv[2] << "\n";
            return 1;
        }
    }
    return 0;
}
