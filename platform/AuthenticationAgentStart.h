#pragma once

// Registers Brindle's authentication agent (AuthenticationAgent) once; what
// the application hands to AuthorizationSetAgentStarter. A plain function, so
// that Brindle itself needn't link the agent's polkit libraries: its build
// reaches the agent through the polkit module loaded on first use.
void startAuthenticationAgent();
